#include "view/GLView.h"

#include <FL/Fl.H>

#include "document/PoseDocument.h"
#include "view/CameraCommands.h"
#include "view/DocumentCommands.h"
#include "view/ClayDrawing.h"
#include "view/OperatorTable.h"
#include "view/PosingCommands.h"
#include "view/PictureOptionsDialog.h"
#include "view/PoseLibraryWindow.h"
#include "view/SceneDrawing.h"
#include "view/WindowTitle.h"

GLView::GLView(int x, int y, int w, int h, PoseDocument& document_)
    : Fl_Gl_Window(x, y, w, h, "GLView"),
      camera(std::make_unique<OrbitCamera>()),
      document(document_),
      files(
          document_, [this](const Outcome& outcome) { report(outcome); }, [this] { commandKeys.forgetIfUp(); },
          [this] { redrawNow(); }),
      picks(*this, document_.figure()),
      pointer(document_, *camera, picks),
      pictures(*this, *camera, document_),
      paste(
          document_, [this] { return buttonHeld(Fl::event_state()); },
          [this](const Outcome& outcome) {
            report(outcome);
            redraw();
          }),
      kept(*camera, document_, [this](const Outcome& outcome) { report(outcome); }) {
  pictures.drawBehind([this] { kept.drawPicture(aspect()); });
}

GLView::~GLView() {
  Fl::remove_timeout(redrawLater, this);
  Fl::remove_timeout(runDeferred, this);
}

void GLView::redrawLater(void* view) { static_cast<GLView*>(view)->redraw(); }

// Under a dialog: the frame behind it shows what the dialog did.
void GLView::redrawNow() {
  redraw();
  Fl::flush();
}

void GLView::draw() {
  if (!context_valid()) kept.contextLost();
  kept.takeBrought();
  if (!valid()) {
    setUpContext(w(), h(), camera->fieldOfView);
  } else if (lens != camera->fieldOfView) {
    setProjection(w(), h(), camera->fieldOfView);
  }
  lens = camera->fieldOfView;
  const auto behind = [this] { kept.drawPicture(aspect()); };
  if (clayLook) {
    drawClayView(*camera, document.figure(), under, behind);
  } else {
    drawScene(*camera, document.figure(), true, under, behind);
  }
  picks.frameDrawn();
  // The button's release asks for the frame that shows what the pick did,
  // unless it came before this frame (a quick click). A redraw asked for
  // inside draw() is cleared when the frame ends, so the request waits for
  // the event loop.
  bool redrawAfter = false;
  if (pointer.mode() == GestureMode::PickPending) under.handle = nullptr;  // the pick may take it away
  if (const Outcome picked = pointer.frameDrawn(redrawAfter); picked.refused) report(picked);
  if (redrawAfter) Fl::add_timeout(0.0, redrawLater, this);
  // Never inside a draw: a dialog's loop or a window closed there would pull
  // the frame from under the toolkit.
  if (queue.due(pointer.mode() == GestureMode::PickPending)) {
    Fl::remove_timeout(runDeferred, this);
    Fl::add_timeout(0.0, runDeferred, this);
  }
}

void GLView::runDeferred(void* view) {
  auto* self = static_cast<GLView*>(view);
  self->runWaiting(self->buttonHeld(Fl::event_state()));
}

void GLView::runWaiting(bool buttonHeld) {
  for (Command command : queue.take(buttonHeld)) {
    // Nothing more once a command has closed the window or asked to.
    if (!top_window()->shown() || quitAsked) return;
    run(command);
  }
}

// ---- commands

// A save writes the camera as it is now; an open may bring another.
void GLView::run(Command command) {
  kept.keep();
  runCommand(command);
  kept.keep();
}

void GLView::runCommand(Command command) {
  // A handle under the pointer may be gone: the next move tells.
  const Hover over = under;
  under.handle = nullptr;
  std::string words;
  if (runCameraCommand(command, *camera, document.figure(), aspect(), words) ||
      runPosingCommand(command, document, pointer, over.segment, Fl::event_x(), Fl::event_y(), words)) {
    if (!words.empty()) say(words);
    redraw();
    return;
  }
  const auto askPicture = [this] {
    const std::string path = chooseFile(FileDialog::OpenReference, document.path());
    commandKeys.forgetIfUp();
    return path;
  };
  if (kept.run(command, askPicture) ||
      runDocumentCommand(command, document, files, [this](const Outcome& outcome) { report(outcome); })) {
    return redraw();
  }
  switch (command) {
    case Command::ShowHelp:
      return showHelp();
    case Command::HideHelp:
      return hideHelp();
    case Command::ToggleLook:
      clayLook = !clayLook;
      // Ctrl+E draws what the view shows until the picture options say otherwise.
      pictureOptions.style = clayLook ? PictureOptions::Style::Clay : PictureOptions::Style::Plain;
      say(clayLook ? "clay look" : "plain look");
      break;
    case Command::Quit:
      // As closing the window does: the application closes it.
      quitAsked = mayClose();
      return;
    case Command::ExportPicture:
      exportAsked();
      break;
    case Command::ExportPictureAs: {
      const bool chosen = askPictureOptions(pictureOptions, w(), h());
      commandKeys.forgetIfUp();
      if (chosen) exportAsked();
      break;
    }
    case Command::ShowLibrary:
      report(choosePose(document, [this] { return thumbnailPng(); }, [this] { redrawNow(); }));
      commandKeys.forgetIfUp();
      break;
    case Command::Paste:
    case Command::PasteMirrored:
      return paste.ask(command == Command::PasteMirrored);
    default:
      return;
  }
  redraw();
}

void GLView::showHelp() {
  if (!help) help = std::make_unique<HelpWindow>();
  help->showOver(*top_window(), settingsText(document));
}

bool GLView::takeQuit() {
  const bool asked = quitAsked;
  quitAsked = false;
  return asked;
}

// ---- pictures

// A picture takes the last picture options.
void GLView::exportAsked() {
  files.exportAs([this](const std::string& path) { return exportPicture(path, pictureOptions, w(), h()); });
}

Outcome GLView::exportPicture(const std::string& path, const PictureOptions& options, int viewWidth,
                              int viewHeight) {
  return pictures.write(path, options, viewWidth, viewHeight, picks.drawn());
}

Picture GLView::figurePicture(int width, int height, PictureOptions::Background background,
                              PictureOptions::Style style) {
  return pictures.draw(width, height, background, picks.drawn(), style);
}

// ---- the title

std::string GLView::title() const {
  return windowTitle(document, said.words(), pointer.holding() ? nullptr : under.segment);
}

// ---- input

bool GLView::buttonHeld(int state) const {
  return (state & (FL_BUTTON1 | FL_BUTTON2 | FL_BUTTON3)) || pointer.holding();
}

void GLView::pressCommandKey(int key, int state) {
  const Command command = operators::commandFor(key, state);
  if (command == Command::None || !commandKeys.fresh(key)) return;
  // Nothing while a drag, a camera move or a press is under way.
  const bool pickPending = pointer.mode() == GestureMode::PickPending;
  if (queue.offer(command, buttonHeld(state), pickPending) == CommandQueue::Verdict::Run) run(command);
}

// What the pointer is over, through the last frame's matrices; nothing
// while a gesture holds on.
void GLView::hover(int x, int y) {
  // A turn keeps showing the part it turns, wherever the pointer goes.
  if (document.turning()) return;
  const Hover before = under;
  under = pointer.holding() ? Hover{} : picks.hoverAt(x, y);
  if (under.segment != before.segment || under.handle != before.handle) redraw();
}

// A busy program may read the next press or wheel turn before the frame a
// quick click waits for: that click picks now, then the keys pressed after
// it run. False when one of them opened a window (the view drew behind it),
// which would have taken the press or the turn.
bool GLView::pickWaitingClick() {
  const int frames = framesDrawn();
  if (pointer.mode() == GestureMode::PickPending) under.handle = nullptr;  // as a frame's pick does
  if (const Outcome picked = pointer.pickReleased(); picked.refused) report(picked);
  if (queue.due(pointer.mode() == GestureMode::PickPending)) runWaiting(false);
  return framesDrawn() == frames && top_window()->shown() && !quitAsked;
}

void GLView::press(int x, int y, int state, int key) {
  // With the focus, keys come with their releases.
  if (Fl::focus() != this) take_focus();
  if (!pickWaitingClick()) return;
  // Only now: r among the keys that waited turns what was under the pointer.
  under = {};
  if (const Outcome picked = pointer.press(x, y, h(), operators::gestureFor(key - FL_Button, state)); picked.refused) {
    report(picked);
  }
}

int GLView::handle(int event) {
  const int x = Fl::event_x();
  const int y = Fl::event_y();
  const int state = Fl::event_state();
  const int key = Fl::event_key();
  const bool keyEvent = event == FL_KEYBOARD || event == FL_SHORTCUT || event == FL_KEYUP;
  // A keypad digit is one key to the commands with NumLock on or off; the
  // settings take the toolkit's key, which is never a plain digit for it.
  const int command = keyEvent ? operators::commandKey(key, Fl::event_original_key()) : key;

  // Key releases reach only the focus widget; without the focus (the
  // toolkit's own dialog may leave it elsewhere), any other event, or the
  // press of another key (a modifier before the next command), may tell that
  // a command key went up.
  const bool keyPress = event == FL_KEYBOARD || event == FL_SHORTCUT;
  if (Fl::focus() != this && (!keyPress || command != commandKeys.heldKey())) commandKeys.forgetIfUp();

  // A key that changes a setting or a mode shows it at once, over the words last said.
  const std::string settingsBefore = settingsText(document);
  // Before the command a key runs: a dialog it opens runs the toolkit's loop,
  // whose events must find the key already kept from the settings.
  settingsKeys.take(event, key, state, document);
  switch (event) {
    case FL_PUSH:
      press(x, y, state, key);
      break;
    case FL_DRAG:
      pointer.drag(x, y, w(), h());
      break;
    case FL_RELEASE:
      pointer.catchUp(x, y, w(), h());
      pointer.release(x, y);
      // The pointer may not move again before r asks what is under it.
      hover(x, y);
      break;
    case FL_MOVE:
    case FL_ENTER:
    case FL_LEAVE:
      pointer.move(x, y);
      hover(x, event == FL_LEAVE ? -1 : y);
      break;
    case FL_MOUSEWHEEL:
      if (operators::gestureFor(4, state) == Gesture::WheelZoom) {
        if (!pointer.holding() && !pickWaitingClick()) break;
        if (const Outcome picked = pointer.wheel(x, y, Fl::event_dy()); picked.refused) report(picked);
      }
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
  if (settingsText(document) != settingsBefore) said.say("");
  if (helpShown()) help->showSettings(settingsText(document));
  kept.keep();
  // The toolkit passes on X events of its own as no event (a new title
  // comes back so): they change nothing to draw.
  if (event != FL_NO_EVENT) redraw();
  return 1;
}
