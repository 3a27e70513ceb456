#pragma once

#include <FL/Fl_Gl_Window.H>

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "figure/Handle.h"
#include "view/ClipboardTransfer.h"
#include "view/FileDialog.h"
#include "view/HelpWindow.h"
#include "view/KeyPresses.h"
#include "view/OrbitCamera.h"

struct Scene;
struct FigureState;

enum ViewMode { Idle = 0, CameraMove = 1, HandleDrag = 2, PickPending = 3 };

// The program's drawing surface and input handler.
class GLView : public Fl_Gl_Window {
 public:
  GLView(int x, int y, int w, int h);
  ~GLView() override;

  void draw() override;
  int handle(int event) override;

  Scene* scene = nullptr;
  int lastX = 0;           // toolkit x of the last recorded press or drag
  int lastY = 0;           // GL window y (height minus toolkit y) of the same
  double grabDepth = 0.0;  // window depth of the grabbed handle when grabbed
  int mode = Idle;
  Handle* grabbedHandle = nullptr;
  std::unique_ptr<OrbitCamera> camera;

  int framesDrawn() const { return frames; }

  // Editing steps, as the keys run them.
  void undo();
  void redo();
  void reset();
  void copy();
  void paste();
  void pasteMirrored();
  void showHelp();
  void hideHelp();
  void home();
  void quit();
  // Files: the pose opened from or saved to one, a picture of the figure.
  void openFile();
  void save();
  void saveAs();
  void exportPicture();
  // Opens the command line's file, its refusal going to standard error.
  void openAtStart(const std::string& path);
  // Asks what to do with changes not saved to the file in play; false to stay open.
  bool mayClose();
  // The figure as the view shows it, without the handles and the axis triad,
  // rows from the bottom up; empty before the first frame.
  std::vector<unsigned char> figurePicture();
  // Shows words in the title for a few seconds, then the settings again.
  void say(const std::string& words);
  // Brings the main window's title up to date.
  void showTitle();
  bool helpShown() const { return help && help->shown(); }
  // A paste asked for whose text has not come yet.
  bool pasteWaiting() const { return clipboard.waiting(); }

 private:
  static void redrawLater(void* view);
  void setUpContext();
  void drawAxes();
  void drawScene(bool overlays);
  void open(const std::string& path, std::ostream& refusals, const char* prefix);
  bool saveTo(const std::string& path);
  std::string askForFile(FileDialog kind, const std::string& suggested);
  void refuse(const std::string& line, std::ostream& out, const char* prefix = "");
  void runPendingPick();
  void runDeferredCommand();
  void press(int x, int y, int state, int key);
  void dragTo(int x, int y);
  void releaseAt(int x, int y);
  void pressHandle(int x, int y, bool left);
  void applyKey(int key);
  int tableKey(int event, int key, int state);
  static void forgetMessage(void* view);
  void pressCommandKey(int key, int state);
  bool buttonHeld(int state) const;
  void recordStep();
  void restore(const FigureState& state);
  void receivePaste(const ClipboardText& text);

  int frames = 0;
  bool releasedBeforePick = false;  // the button went up before the pick ran
  // The view creates handle records and frees them once removed.
  std::vector<std::unique_ptr<Handle>> ownedHandles;
  KeyPresses commandKeys;
  // A command asked for while a click's pick waits for its frame runs after it.
  void (GLView::*deferredCommand)() = nullptr;
  std::unique_ptr<HelpWindow> help;
  std::string message;  // what the title says instead of the settings, for now
  int blockedKey = 0;   // pressed with Ctrl or Alt: a command, kept from the settings
  int reachedKey = 0;   // the last key the settings took
  // What the clipboard's text is for when it arrives: a plain paste or a mirrored one.
  bool pasteMirroredAsked = false;
  ClipboardTransfer clipboard;
};
