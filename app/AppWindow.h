#pragma once

#include <FL/Fl_Window.H>

#include <memory>

#include "document/PoseDocument.h"
#include "view/GLView.h"

// The main window with the GL view of the document as its resizable child.
class AppWindow {
 public:
  explicit AppWindow(PoseDocument& document);

  void show();

  std::unique_ptr<Fl_Window> window;
  GLView* view;  // owned by window
};
