#pragma once

#include <FL/Fl_Window.H>

#include <memory>

#include "document/PoseDocument.h"
#include "view/GLView.h"

// The main window with the GL view of the document as its resizable child.
// It keeps its title up to date with the view's, and closes when the view
// says that Quit was asked for.
class AppWindow {
 public:
  explicit AppWindow(PoseDocument& document);
  ~AppWindow();

  void show();

  std::unique_ptr<Fl_Window> window;
  GLView* view;  // owned by window

 private:
  static void check(void* app);
  void close();
};
