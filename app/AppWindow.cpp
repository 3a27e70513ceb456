#include "app/AppWindow.h"

#include <FL/Fl_Group.H>

AppWindow::AppWindow(Scene* scene_) : scene(scene_) {
  window = std::make_unique<Fl_Window>(694, 666);
  window->user_data(this);
  view = new GLView(0, 0, 690, 665);
  Fl_Group::current()->resizable(view);
  window->end();
  view->scene = scene;
  // Closing the main window ends the program, help window or not.
  window->callback(
      [](Fl_Widget* w, void* app) {
        static_cast<AppWindow*>(app)->view->hideHelp();
        w->hide();
      },
      this);
}

void AppWindow::show() {
  window->show();
  view->show();
}
