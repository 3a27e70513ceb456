#pragma once

#include <FL/Fl_Window.H>

#include <memory>

#include "app/Scene.h"
#include "view/GLView.h"

// The main window with the GL view as its resizable child.
class AppWindow {
 public:
  explicit AppWindow(Scene* scene);

  void show();

  std::unique_ptr<Fl_Window> window;
  GLView* view;  // owned by window
  Scene* scene;  // not owned
};
