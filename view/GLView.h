#pragma once

#include <FL/Fl_Gl_Window.H>

#include <memory>
#include <vector>

#include "figure/Handle.h"
#include "view/OrbitCamera.h"

struct Scene;

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

 private:
  static void redrawLater(void* view);
  void setUpContext();
  void drawAxes();
  void runPendingPick();
  void pressHandle(int x, int y, bool left);
  void applyKey(int key);

  int frames = 0;
  bool releasedBeforePick = false;  // the button went up before the pick ran
  // The view creates handle records and frees them once removed.
  std::vector<std::unique_ptr<Handle>> ownedHandles;
};
