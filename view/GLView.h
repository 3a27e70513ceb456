#pragma once

#include <FL/Fl_Gl_Window.H>

#include <memory>
#include <string>
#include <vector>

#include "document/Outcome.h"
#include "view/ClipboardTransfer.h"
#include "view/CommandTable.h"
#include "view/FileCommands.h"
#include "view/HelpWindow.h"
#include "view/KeyPresses.h"
#include "view/OrbitCamera.h"
#include "view/Picture.h"
#include "view/PictureOptions.h"
#include "view/SettingsKeys.h"
#include "view/TitleMessage.h"

class PoseDocument;
struct Handle;

enum ViewMode { Idle = 0, CameraMove = 1, HandleDrag = 2, PickPending = 3 };

// The program's drawing surface: it draws the document's figure, turns a
// person's gestures into the document's verbs and keys into commands through
// one table, and keeps the title.
class GLView : public Fl_Gl_Window {
 public:
  GLView(int x, int y, int w, int h, PoseDocument& document);
  ~GLView() override;

  void draw() override;
  int handle(int event) override;

  int lastX = 0;           // toolkit x of the last recorded press or drag
  int lastY = 0;           // GL window y (height minus toolkit y) of the same
  double grabDepth = 0.0;  // window depth of the grabbed handle when grabbed
  int mode = Idle;
  Handle* grabbedHandle = nullptr;
  std::unique_ptr<OrbitCamera> camera;

  int framesDrawn() const { return frames; }
  // Runs a command as its key does, once nothing waits for a frame.
  void run(Command command);
  // Asks about changes not saved; false to stay open.
  bool mayClose();
  void hideHelp();
  // The figure as the view shows it, without the handles and the axis
  // triad, in a picture of width x height in the view's proportions; empty
  // before the first frame.
  Picture figurePicture(int width, int height, PictureOptions::Background background);
  // What the next picture is asked to be: Ctrl+Shift+E changes it.
  PictureOptions pictureOptions;
  // Shows what came of a verb in the title for a few seconds, a refusal
  // printed on standard output too.
  void report(const Outcome& outcome);
  // Shows words in the title for a few seconds, then the settings again.
  void say(const std::string& words);
  // Brings the main window's title up to date.
  void showTitle();
  bool helpShown() const { return help && help->shown(); }
  // A paste asked for whose text has not come yet.
  bool pasteWaiting() const { return clipboard.waiting(); }

 private:
  static void redrawLater(void* view);
  static void runDeferred(void* view);
  static void forgetMessage(void* view);
  void runPendingPick();
  void press(int x, int y, int state, int key);
  void dragTo(int x, int y);
  void releaseAt(int x, int y);
  void pressHandle(int x, int y, bool left);
  void pressCommandKey(int key, int state);
  bool buttonHeld(int state) const;
  double aspect() const;
  void showHelp();
  void exportPicture();
  void receivePaste(const ClipboardText& text);

  PoseDocument& document;
  FileCommands files;
  int frames = 0;
  bool releasedBeforePick = false;  // the button went up before the pick ran
  KeyPresses commandKeys;
  // Commands asked for while a click's pick waits for its frame run after
  // it, from the event loop, in the order they came.
  std::vector<Command> deferred;
  std::unique_ptr<HelpWindow> help;
  TitleMessage message;
  SettingsKeys settingsKeys;
  // What the clipboard's text is for when it arrives: a plain paste or a mirrored one.
  bool pasteMirroredAsked = false;
  ClipboardTransfer clipboard;
};
