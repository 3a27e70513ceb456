#include "view/GLView.h"

#include <FL/Fl.H>

#include <chrono>
#include <iostream>
#include <new>

#include "document/PoseDocument.h"
#include "pose/PoseText.h"
#include "view/GLFrame.h"
#include "view/PictureOptionsDialog.h"
#include "view/PictureRendering.h"
#include "view/PngEncoding.h"
#include "view/SceneDrawing.h"
#include "view/ViewFraming.h"
#include "view/WindowTitle.h"

namespace {

ViewSide viewSide(Command command) {
  switch (command) {
    case Command::ViewBack:
      return ViewSide::Back;
    case Command::ViewRight:
      return ViewSide::Right;
    case Command::ViewLeft:
      return ViewSide::Left;
    case Command::ViewTop:
      return ViewSide::Top;
    case Command::ViewBottom:
      return ViewSide::Bottom;
    default:
      return ViewSide::Front;
  }
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

GLView::GLView(int x, int y, int w, int h, PoseDocument& document_)
    : Fl_Gl_Window(x, y, w, h, "GLView"),
      camera(std::make_unique<OrbitCamera>()),
      document(document_),
      files(document_, [this](const Outcome& outcome) { report(outcome); }, [this] { commandKeys.forgetIfUp(); }),
      clipboard(pose_text::kSizeLimit, [this](const ClipboardText& text) { receivePaste(text); }) {}

GLView::~GLView() {
  Fl::remove_timeout(redrawLater, this);
  Fl::remove_timeout(runDeferred, this);
  Fl::remove_timeout(forgetMessage, this);
}

void GLView::redrawLater(void* view) { static_cast<GLView*>(view)->redraw(); }

void GLView::draw() {
  if (!valid()) setUpContext(w(), h());
  drawScene(*camera, document.figure(), true);
  ++frames;
  if (mode == PickPending) runPendingPick();
  // Never inside a draw: a dialog's loop or a window closed there would pull
  // the frame from under the toolkit.
  if (!deferred.empty() && mode != PickPending) {
    Fl::remove_timeout(runDeferred, this);
    Fl::add_timeout(0.0, runDeferred, this);
  }
  // A pick is a step: the title may take or lose its *.
  showTitle();
}

void GLView::runDeferred(void* view) {
  auto* self = static_cast<GLView*>(view);
  std::vector<Command> commands;
  commands.swap(self->deferred);
  // Keys do nothing while a mouse button is held, and one may have gone
  // down since they came.
  if (self->buttonHeld(Fl::event_state())) return;
  for (Command command : commands) {
    // Nothing more once a command has closed the window.
    if (!self->top_window()->shown()) return;
    self->run(command);
  }
}

void GLView::runPendingPick() {
  Figure& figure = document.figure();
  // The button's release asks for the frame that shows what the pick did,
  // unless it came before this frame (a quick click). A redraw asked for
  // inside draw() is cleared when the frame ends, so the request waits for
  // the event loop.
  if (releasedBeforePick) Fl::add_timeout(0.0, redrawLater, this);
  releasedBeforePick = false;
  mode = Idle;
  if (Handle* h = figure.handleAt(lastX, lastY, 5)) {
    if (grabbedHandle == h) grabbedHandle = nullptr;
    document.unpin(h);
  } else if (const SurfaceHit hit = figure.pickSurface(lastX, lastY); hit.segment) {
    if (const Outcome pinned = document.pin(hit.segment, hit.point); pinned.refused) report(pinned);
  }
}

void GLView::pressHandle(int x, int y, bool left) {
  releasedBeforePick = false;
  lastX = x;
  lastY = h() - y;
  // Before the first frame there are no matrices to pick with.
  grabbedHandle = nullptr;
  if (frames > 0) {
    make_current();
    grabbedHandle = document.figure().handleAt(lastX, lastY, 4);
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

// ---- commands

void GLView::run(Command command) {
  switch (command) {
    case Command::ShowHelp:
      return showHelp();
    case Command::HideHelp:
      return hideHelp();
    case Command::Home:
      *camera = OrbitCamera();
      break;
    case Command::ViewFront:
    case Command::ViewBack:
    case Command::ViewRight:
    case Command::ViewLeft:
    case Command::ViewTop:
    case Command::ViewBottom:
      lookFrom(*camera, viewSide(command), document.figure(), aspect());
      break;
    case Command::FitFigure:
      fitFigure(*camera, document.figure(), aspect());
      break;
    case Command::Quit:
      // As closing the window does.
      if (Fl_Window* top = top_window()) top->do_callback();
      return;
    case Command::Open:
      files.open();
      break;
    case Command::Save:
      files.save();
      break;
    case Command::SaveAs:
      files.saveAs();
      break;
    case Command::ExportPicture:
      exportPicture();
      break;
    case Command::ExportPictureAs: {
      const bool chosen = askPictureOptions(pictureOptions, w(), h());
      commandKeys.forgetIfUp();
      if (chosen) exportPicture();
      break;
    }
    case Command::Undo:
      report(document.undo());
      break;
    case Command::Redo:
      report(document.redo());
      break;
    case Command::Reset:
      report(document.reset());
      break;
    case Command::Copy: {
      std::string text;
      report(document.copy(text));
      Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
      break;
    }
    case Command::Paste:
    case Command::PasteMirrored:
      // The text comes later, from the event loop.
      if (clipboard.waiting()) return;
      pasteMirroredAsked = command == Command::PasteMirrored;
      clipboard.request();
      return;
    case Command::None:
      return;
  }
  redraw();
}

void GLView::receivePaste(const ClipboardText& text) {
  const std::string what = pasteMirroredAsked ? "paste mirrored: " : "paste: ";
  if (buttonHeld(Fl::event_state())) {
    report(Outcome::refusal(what + "not done: a mouse button is held"));
  } else if (text.broken) {
    report(Outcome::refusal(what + "the clipboard's owner stopped sending its text"));
  } else {
    report(document.paste(text.head, text.size, pasteMirroredAsked));
  }
  redraw();
}

void GLView::showHelp() {
  if (!help) help = std::make_unique<HelpWindow>();
  help->showOver(*top_window(), settingsText(document.figure()));
}

double GLView::aspect() const { return h() > 0 ? double(w()) / h() : 1.0; }

// A drag under way is a change like any other: asked about, not lost.
bool GLView::mayClose() {
  document.endDrag();
  return files.mayDiscard();
}

void GLView::hideHelp() {
  if (help) help->hide();
}

// With the last picture options; a window made smaller than its borders
// leaves the view no pixel, or too few.
void GLView::exportPicture() {
  if (std::string small = viewRefusal(w(), h()); !small.empty()) return report(Outcome::refusal("export: " + small));
  // Sized once the name is known: a BVH name needs no picture.
  files.exportPicture([this](std::string& refusal) {
    const PictureSize size = pictureSize(pictureOptions, w(), h());
    refusal = size.refusal;
    if (!refusal.empty()) return std::string();
    std::string pose;
    document.copy(pose);
    try {
      return encodePng(figurePicture(size.width, size.height, pictureOptions.background), pose);
    } catch (const std::bad_alloc&) {
      refusal = "not enough memory for a picture of " + std::to_string(size.width) + "x" +
                std::to_string(size.height) + " pixels";
      return std::string();
    }
  });
}

Picture GLView::figurePicture(int width, int height, PictureOptions::Background background) {
  if (frames == 0 || w() <= 0 || h() <= 0) return {};
  make_current();
  // Resized since the last frame: the context is set up as that frame would.
  if (!valid()) {
    setUpContext(w(), h());
    valid(1);
  }
  Picture picture = renderPicture(*camera, document.figure(), w(), h(), width, height, background);
  // The back buffer holds the picture now; the next frame is the view's again.
  redraw();
  return picture;
}

// ---- the title

void GLView::report(const Outcome& outcome) {
  if (outcome.refused) std::cout << outcome.words << std::endl;
  say(outcome.words);
}

void GLView::say(const std::string& words) {
  message.say(words, now());
  Fl::remove_timeout(forgetMessage, this);
  if (!words.empty()) Fl::add_timeout(TitleMessage::kSeconds, forgetMessage, this);
  showTitle();
}

void GLView::forgetMessage(void* view) {
  auto* self = static_cast<GLView*>(view);
  // A timer that fires early waits for the rest.
  if (const double left = self->message.secondsLeft(now()); left > 0.0) {
    Fl::add_timeout(left, forgetMessage, view);
    return;
  }
  self->showTitle();
}

void GLView::showTitle() {
  Fl_Window* top = top_window();
  if (!top) return;
  const std::string settings = settingsText(document.figure());
  const bool modified = document.modified();
  const std::string file = document.path().empty() && !modified ? "" : document.shownFileName();
  const std::string title = windowTitle(settings, message.words(now()), file, modified);
  if (top->label() && title == top->label()) return;
  top->copy_label(title.c_str());
  if (helpShown()) help->showSettings(settings);
}

// ---- input

bool GLView::buttonHeld(int state) const {
  if (state & (FL_BUTTON1 | FL_BUTTON2 | FL_BUTTON3)) return true;
  return mode == CameraMove || mode == HandleDrag || (mode == PickPending && !releasedBeforePick);
}

void GLView::pressCommandKey(int key, int state) {
  const Command command = commandFor(key, state);
  if (command == Command::None || !commandKeys.fresh(key)) return;
  // Nothing while a drag, a camera move or a press is under way; after a
  // click whose pick waits for the next frame, once the pick has run.
  if (buttonHeld(state)) return;
  if (mode == PickPending || !deferred.empty()) {
    deferred.push_back(command);
    return;
  }
  run(command);
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
      document.figure().solveDrag(x, h() - y, grabDepth, grabbedHandle);
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
    document.endDrag();
  }
  grabbedHandle = nullptr;
}

int GLView::handle(int event) {
  const int x = Fl::event_x();
  const int y = Fl::event_y();
  const int state = Fl::event_state();
  const int key = Fl::event_key();
  const bool keyEvent = event == FL_KEYBOARD || event == FL_SHORTCUT || event == FL_KEYUP;
  // A keypad digit is one key to the commands with NumLock on or off; the
  // settings take the toolkit's key, which is never a plain digit for it.
  const int command = keyEvent ? commandKey(key, Fl::event_original_key()) : key;

  // Key releases reach only the focus widget; without the focus (the
  // toolkit's own dialog may leave it elsewhere), any other event, or the
  // press of another key (a modifier before the next command), may tell that
  // a command key went up.
  const bool keyPress = event == FL_KEYBOARD || event == FL_SHORTCUT;
  if (Fl::focus() != this && (!keyPress || command != commandKeys.heldKey())) commandKeys.forgetIfUp();

  // Before the command a key runs: a dialog it opens runs the toolkit's loop,
  // whose events must find the key already kept from the settings.
  settingsKeys.take(event, key, state, document.figure());
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
      pressCommandKey(command, state);
      break;
    case FL_KEYUP:
      commandKeys.released(command);
      break;
    case FL_FOCUS:
      // A release seen by another window must not swallow the next press.
      commandKeys.forgetIfUp();
      break;
    default:
      // A dropped text comes as FL_PASTE, and a drop is not a paste.
      break;
  }

  showTitle();
  // The toolkit passes on X events of its own as no event (a new title
  // comes back so): they change nothing to draw.
  if (event != FL_NO_EVENT) redraw();
  return 1;
}

