#pragma once

#include <FL/Fl_Gl_Window.H>

#include <memory>
#include <string>

#include "document/Outcome.h"
#include "view/CommandQueue.h"
#include "view/FileCommands.h"
#include "view/FramePicks.h"
#include "view/HelpWindow.h"
#include "view/KeyPresses.h"
#include "view/OrbitCamera.h"
#include "view/Picture.h"
#include "view/PictureExport.h"
#include "view/PictureOptions.h"
#include "view/PointerGestures.h"
#include "view/ViewKeeper.h"
#include "view/SceneDrawing.h"
#include "view/SettingsKeys.h"
#include "view/PasteRequest.h"
#include "view/TitleReport.h"

class PoseDocument;

// The program's drawing surface: it draws the document's figure, and turns
// a person's events into the operator table's commands, settings and
// gestures, which act through the document's verbs.
class GLView : public Fl_Gl_Window {
 public:
  GLView(int x, int y, int w, int h, PoseDocument& document);
  ~GLView() override;

  void draw() override;
  int handle(int event) override;

  std::unique_ptr<OrbitCamera> camera;
  const PointerGestures& gestures() const { return pointer; }

  int framesDrawn() const { return picks.framesDrawn(); }
  // Runs a command as its key does, once nothing waits for a frame.
  void run(Command command);
  // Takes the camera and the pictures a file brought, once, when one did;
  // false when none came since.
  bool takeBroughtView() { return kept.takeBrought(); }
  // Opens a file as Ctrl+O does, a capture's frame chosen in a window.
  Outcome openFile(const std::string& path) { return files.openFile(path); }
  // Asks about changes not saved; false to stay open.
  bool mayClose() { return files.mayDiscard(); }
  // Quit was asked for and the person let the pose go: the application
  // closes. Taken once.
  bool takeQuit();
  void hideHelp() {
    if (help) help->hide();
  }
  // The figure as the view shows it, without the handles and the axis
  // triad, in a picture of width x height in the view's proportions; empty
  // before the first frame.
  Picture figurePicture(int width, int height, PictureOptions::Background background,
                        PictureOptions::Style style = PictureOptions::Style::Plain);
  // The one way a picture is written, for Ctrl+E and the command line: the
  // options' picture for a view of viewWidth x viewHeight, with the pose
  // inside, to a path whose name is complete.
  Outcome exportPicture(const std::string& path, const PictureOptions& options, int viewWidth, int viewHeight);
  // The pose library's picture of the pose, as PNG bytes; empty before the first frame.
  std::string thumbnailPng() { return pictures.thumbnail(picks.drawn()); }
  // What the next picture is asked to be: Ctrl+Shift+E changes it.
  PictureOptions pictureOptions;
  // Shows what came of a verb in the title for a few seconds, a refusal
  // printed on standard output too.
  void report(const Outcome& outcome) { said.report(outcome); }
  // Shows words in the title for a few seconds, then the settings again.
  void say(const std::string& words) { said.say(words); }
  // What the next words must not hide (no copy of the work kept), said with them.
  void warn(const Outcome& outcome) { said.warn(outcome); }
  // What the main window's title should say now.
  std::string title() const;
  bool helpShown() const { return help && help->shown(); }
  // A paste asked for whose text has not come yet.
  bool pasteWaiting() const { return paste.waiting(); }

 private:
  static void redrawLater(void* view);
  static void runDeferred(void* view);
  void runWaiting(bool buttonHeld);
  bool pickWaitingClick();
  void press(int x, int y, int state, int key);
  void hover(int x, int y);
  void pressCommandKey(int key, int state);
  bool buttonHeld(int state) const;
  double aspect() const { return h() > 0 ? double(w()) / h() : 1.0; }
  void redrawNow();
  void showHelp();
  void exportAsked();
  void runCommand(Command command);

  PoseDocument& document;
  FileCommands files;
  FramePicks picks;
  PointerGestures pointer;
  PictureExport pictures;
  KeyPresses commandKeys;
  // Commands asked for while a click's pick waits for its frame run after
  // it, from the event loop.
  CommandQueue queue;
  std::unique_ptr<HelpWindow> help;
  TitleReport said;
  SettingsKeys settingsKeys;
  PasteRequest paste;
  bool quitAsked = false;
  double lens = 0.0;  // the field of view of the projection the context holds
  Hover under;  // the segment and handle under the pointer, while no button is held
  bool clayLook = false;  // drawing only: never kept, the plain look at every start
  ViewKeeper kept;  // the camera and the reference pictures, in the document
};
