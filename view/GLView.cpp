#include "view/GLView.h"

#include <FL/Fl.H>
#include <FL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "app/Scene.h"
#include "figure/Figure.h"
#include "pose/FigureState.h"
#include "pose/PoseFile.h"
#include "pose/PoseText.h"
#include "view/GLFrame.h"
#include "view/WindowTitle.h"

namespace {

// How long the title shows what was said before it shows the settings again.
constexpr double kMessageSeconds = 5.0;

}  // namespace

GLView::GLView(int x, int y, int w, int h)
    : Fl_Gl_Window(x, y, w, h, "GLView"),
      camera(std::make_unique<OrbitCamera>()),
      clipboard(pose_text::kSizeLimit, [this](const ClipboardText& text) { receivePaste(text); }) {}

void GLView::redrawLater(void* view) { static_cast<GLView*>(view)->redraw(); }

GLView::~GLView() {
  Fl::remove_timeout(redrawLater, this);
  Fl::remove_timeout(forgetMessage, this);
  // Leave the figure with no pointers into records that die with the view.
  if (scene && scene->figure) {
    for (const auto& h : ownedHandles) scene->figure->removeHandle(h.get());
  }
}

void GLView::setUpContext() {
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 1.0f};
  const GLfloat specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat shininess[] = {100.0f};
  const GLfloat light[] = {0.0f, 10.0f, 0.0f, 0.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
  // Taken through whatever modelview the context holds now.
  glLightfv(GL_LIGHT0, GL_POSITION, light);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_NORMALIZE);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  glPolygonMode(GL_FRONT, GL_FILL);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
  glViewport(0, 0, w(), h());
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A view squashed to no height still gets a finite aspect ratio.
  const double height = h() > 0 ? h() : 1;
  gluPerspective(45.0, w() / height, 1.0, 100.0);
}

void GLView::drawAxes() {
  // The lines are lit with the current normal: the context's first, not the
  // last one the previous frame's spheres left, so that every frame of the
  // same scene is the same picture, the first one included.
  glNormal3f(0, 0, 1);
  glLineWidth(4.0f);
  glPushMatrix();
  glTranslatef(camera->center.x, camera->center.y, camera->center.z);
  glBegin(GL_LINES);
  glColor3f(1, 0, 0);
  glVertex3f(0, 0, 0);
  glVertex3f(1, 0, 0);
  glColor3f(0, 1, 0);
  glVertex3f(0, 0, 0);
  glVertex3f(0, 1, 0);
  glColor3f(0, 0, 1);
  glVertex3f(0, 0, 0);
  glVertex3f(0, 0, 1);
  glEnd();
  glPopMatrix();
  glLineWidth(1.0f);
}

// The figure through the camera; with the overlays, its handles and the triad too.
void GLView::drawScene(bool overlays) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  camera->apply();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (overlays) {
    drawAxes();
  } else {
    glNormal3f(0, 0, 1);  // as the triad leaves it, for the shapeless segments' lines
  }
  // The scale stays in the modelview: picking and dragging read it back.
  glScalef(5, 5, 5);
  glColor3f(1, 0, 1);
  Figure& figure = *scene->figure;
  figure.drawSegments();
  if (overlays) figure.drawHandles();
}

void GLView::draw() {
  if (!valid()) setUpContext();
  drawScene(true);
  ++frames;

  if (mode == PickPending) runPendingPick();
  runDeferredCommand();
  // A pick is a step: the file's name may take or lose its *.
  showTitle();
}

void GLView::runDeferredCommand() {
  if (!deferredCommand) return;
  void (GLView::*command)() = deferredCommand;
  deferredCommand = nullptr;
  (this->*command)();
  // A redraw asked for inside draw() is cleared when the frame ends.
  Fl::add_timeout(0.0, redrawLater, this);
}

void GLView::runPendingPick() {
  Figure& figure = *scene->figure;
  // The button's release asks for the frame that shows what the pick did,
  // unless it came before this frame (a quick click). A redraw asked for
  // inside draw() is cleared when the frame ends, so the request waits for
  // the event loop.
  if (releasedBeforePick) Fl::add_timeout(0.0, redrawLater, this);
  releasedBeforePick = false;
  if (Handle* h = figure.handleAt(lastX, lastY, 5)) {
    figure.removeHandle(h);
    if (grabbedHandle == h) grabbedHandle = nullptr;
    ownedHandles.erase(std::remove_if(ownedHandles.begin(), ownedHandles.end(),
                                      [h](const std::unique_ptr<Handle>& p) { return p.get() == h; }),
                       ownedHandles.end());
    figure.solveDrag(lastX, lastY, grabDepth, nullptr);
  } else {
    const SurfaceHit hit = figure.pickSurface(lastX, lastY);
    if (hit.segment) {
      ownedHandles.push_back(std::make_unique<Handle>(hit.point.x, hit.point.y, hit.point.z));
      Handle* added = ownedHandles.back().get();
      figure.addHandle(added, hit.segment);
      figure.updateHandlePositions();
      // A new handle is pinned where it was placed; left at the origin, it
      // would drag its body part to the floor as soon as another is moved.
      added->targetPos = added->worldPos;
    }
  }
  mode = Idle;
  recordStep();
}

void GLView::pressHandle(int x, int y, bool left) {
  Figure& figure = *scene->figure;
  releasedBeforePick = false;
  lastX = x;
  lastY = h() - y;
  // Before the first frame there are no matrices to pick with.
  grabbedHandle = nullptr;
  if (frames > 0) {
    make_current();
    grabbedHandle = figure.handleAt(lastX, lastY, 4);
  }
  if (!grabbedHandle) {
    if (left) mode = PickPending;
    return;
  }
  if (!left) {
    mode = PickPending;
    return;
  }
  mode = HandleDrag;
  const Vec3& p = grabbedHandle->worldPos;
  double window[3];
  if (GLFrame::read().project(p.x, p.y, p.z, window)) grabDepth = window[2];
}

void GLView::applyKey(int key) {
  Figure& figure = *scene->figure;
  switch (key) {
    case 's':
      figure.setLimbWeights();
      break;
    case 'd':
      figure.setUniformWeights();
      break;
    case '1':
      figure.tolerance = 0.01;
      break;
    case '2':
      figure.tolerance = 0.001;
      break;
    case '3':
      figure.tolerance = 0.0001;
      break;
    case 'n':
      figure.limitsEnabled = true;
      break;
    case 'm':
      figure.limitsEnabled = false;
      break;
    default:
      break;
  }
}

// ---- editing steps

void GLView::recordStep() { scene->history.record(saveState(*scene->figure)); }

void GLView::restore(const FigureState& state) {
  // The new records replace the old ones only once the figure has let go of them.
  ownedHandles = restoreState(*scene->figure, state);
  grabbedHandle = nullptr;
}

void GLView::undo() {
  // A change that no gesture recorded yet is a step of its own.
  recordStep();
  if (const FigureState* state = scene->history.undo()) {
    restore(*state);
  } else {
    say("nothing to undo");
  }
}

void GLView::redo() {
  recordStep();
  if (const FigureState* state = scene->history.redo()) {
    restore(*state);
  } else {
    say("nothing to redo");
  }
}

void GLView::reset() {
  recordStep();
  restore(scene->history.initial());
  recordStep();
  say("reset");
}

// ---- the clipboard

void GLView::copy() {
  const std::string text = pose_text::write(*scene->figure);
  Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
  say("copied");
}

// The text comes later, from the event loop.
void GLView::paste() {
  if (clipboard.waiting()) return;
  pasteMirroredAsked = false;
  clipboard.request();
}

void GLView::pasteMirrored() {
  if (clipboard.waiting()) return;
  pasteMirroredAsked = true;
  clipboard.request();
}

// All or nothing: text that is not a whole, valid pose leaves the figure and
// its handles as they were, and one line says why.
void GLView::receivePaste(const ClipboardText& text) {
  const char* what = pasteMirroredAsked ? "paste mirrored" : "paste";
  std::string refusal = pose_text::sizeRefusal(text.size);
  if (text.broken) refusal = "the clipboard's owner stopped sending its text";
  if (buttonHeld(Fl::event_state())) refusal = "not done: a mouse button is held";
  if (refusal.empty()) {
    recordStep();
    pose_text::Pasting pasting = pose_text::paste(*scene->figure, text.head, pasteMirroredAsked);
    refusal = pasting.error;
    if (refusal.empty()) {
      ownedHandles = std::move(pasting.records);
      grabbedHandle = nullptr;
      recordStep();
      say(pasteMirroredAsked ? "pasted mirrored" : "pasted");
    }
  }
  if (!refusal.empty()) refuse(what + (": " + refusal), std::cout);
  redraw();
}

void GLView::showHelp() {
  if (!help) help = std::make_unique<HelpWindow>();
  help->showSettings(settingsText(*scene->figure));
  // Over the middle of the main window, which keeps its size.
  const Fl_Window* main = top_window();
  help->position(main->x() + (main->w() - help->w()) / 2, main->y() + (main->h() - help->h()) / 2);
  help->show();
}

void GLView::hideHelp() {
  if (help) help->hide();
}

void GLView::home() { *camera = OrbitCamera(); }

// As closing the window does.
void GLView::quit() {
  if (Fl_Window* top = top_window()) top->do_callback();
}

// ---- the title

void GLView::say(const std::string& words) {
  message = words;
  Fl::remove_timeout(forgetMessage, this);
  Fl::add_timeout(kMessageSeconds, forgetMessage, this);
  showTitle();
}

void GLView::forgetMessage(void* view) {
  auto* self = static_cast<GLView*>(view);
  self->message.clear();
  self->showTitle();
}

void GLView::showTitle() {
  Fl_Window* top = top_window();
  if (!top || !scene) return;
  const std::string settings = settingsText(*scene->figure);
  const pose_file::Kept& kept = scene->kept;
  const std::string file = kept.path.empty() ? "" : pose_file::nameOf(kept.path);
  const std::string title = windowTitle(settings, message, file, kept.differsFrom(scene->history.current()));
  if (top->label() && title == top->label()) return;
  top->copy_label(title.c_str());
  if (helpShown()) help->showSettings(settings);
}

// ---- keys that act once per press

bool GLView::buttonHeld(int state) const {
  if (state & (FL_BUTTON1 | FL_BUTTON2 | FL_BUTTON3)) return true;
  return mode == CameraMove || mode == HandleDrag || (mode == PickPending && !releasedBeforePick);
}

void GLView::pressCommandKey(int key, int state) {
  const bool ctrl = (state & FL_CTRL) && !(state & (FL_ALT | FL_META));
  const bool shift = state & FL_SHIFT;
  void (GLView::*command)() = nullptr;
  if (key == FL_F + 1) command = &GLView::showHelp;
  if (key == FL_Escape) command = &GLView::hideHelp;
  if (key == FL_Home) command = &GLView::home;
  if (ctrl && key == 'q') command = &GLView::quit;
  if (ctrl && key == 'o') command = &GLView::openFile;
  if (ctrl && key == 's') command = shift ? &GLView::saveAs : &GLView::save;
  if (ctrl && key == 'e') command = &GLView::exportPicture;
  if (ctrl && key == 'z') command = shift ? &GLView::redo : &GLView::undo;
  if (ctrl && key == 'y') command = &GLView::redo;
  if (ctrl && key == 'r') command = &GLView::reset;
  if (ctrl && key == 'c') command = &GLView::copy;
  if (ctrl && key == 'v') command = shift ? &GLView::pasteMirrored : &GLView::paste;
  if (!command || !commandKeys.fresh(key)) return;
  // Nothing while a drag, a camera move or a press is under way; after a
  // click whose pick waits for the next frame, once the pick has run.
  if (buttonHeld(state)) return;
  if (mode == PickPending) {
    deferredCommand = command;
    return;
  }
  (this->*command)();
}

void GLView::press(int x, int y, int state, int key) {
  // With the focus, keys come with their releases.
  if (Fl::focus() != this) take_focus();
  if (state & FL_SHIFT) {
    mode = CameraMove;
    if (key == FL_Button + FL_LEFT_MOUSE) camera->begin(Rotate, x, y);
    if (key == FL_Button + FL_MIDDLE_MOUSE) camera->begin(Pan, x, y);
    if (key == FL_Button + FL_RIGHT_MOUSE) camera->begin(Zoom, x, y);
  } else if (key == FL_Button + FL_LEFT_MOUSE) {
    pressHandle(x, y, true);
  } else if (key == FL_Button + FL_RIGHT_MOUSE) {
    pressHandle(x, y, false);
  }
}

void GLView::dragTo(int x, int y) {
  if (mode == CameraMove) {
    camera->drag(x, y);
  } else if (mode == PickPending) {
    mode = Idle;
    grabbedHandle = nullptr;
  } else if (mode == HandleDrag) {
    // With no handle held (the right button pressed away from every
    // handle while dragging), the solve relaxes the figure.
    if (0 < x && x < w() && 0 < y && y < h()) {
      make_current();
      scene->figure->solveDrag(x, h() - y, grabDepth, grabbedHandle);
    }
    lastX = x;
    lastY = h() - y;
  }
}

void GLView::releaseAt(int x, int y) {
  if (mode == CameraMove) camera->end(x, y);
  // A quick click can be released before the frame that runs its pick;
  // the pick still belongs to the click, so it stays pending.
  if (mode == PickPending) {
    releasedBeforePick = true;
  } else {
    mode = Idle;
    recordStep();
  }
  grabbedHandle = nullptr;
}

int GLView::handle(int event) {
  const int x = Fl::event_x();
  const int y = Fl::event_y();
  const int state = Fl::event_state();
  const int key = Fl::event_key();

  // Key releases reach only the focus widget; without the focus, any other
  // event may tell that a command key went up.
  if (Fl::focus() != this && event != FL_KEYBOARD && event != FL_SHORTCUT) commandKeys.forgetIfUp();

  switch (event) {
    case FL_PUSH:
      press(x, y, state, key);
      break;
    case FL_DRAG:
      dragTo(x, y);
      break;
    case FL_RELEASE:
      releaseAt(x, y);
      break;
    case FL_KEYBOARD:
    case FL_SHORTCUT:
      pressCommandKey(key, state);
      break;
    case FL_KEYUP:
      commandKeys.released(key);
      break;
    case FL_FOCUS:
      // A release seen by another window must not swallow the next press.
      commandKeys.forgetIfUp();
      break;
    default:
      // A dropped text comes as FL_PASTE, and a drop is not a paste.
      break;
  }

  applyKey(tableKey(event, key, state));
  showTitle();
  redraw();
  return 1;
}

// The key the settings take at this event: the toolkit's last key, unless it
// was pressed with Ctrl or Alt, which makes it a command; then the last key
// the settings took.
int GLView::tableKey(int event, int key, int state) {
  if (event == FL_KEYBOARD || event == FL_SHORTCUT) blockedKey = (state & (FL_CTRL | FL_ALT)) ? key : 0;
  if (key != blockedKey) reachedKey = key;
  return reachedKey;
}
