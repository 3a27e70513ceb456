#include "app/AppWindow.h"

#include <FL/Fl_Group.H>

AppWindow::AppWindow(Scene* scene_) : scene(scene_) {
  window = std::make_unique<Fl_Window>(694, 666);
  window->user_data(this);
  view = new GLView(0, 0, 690, 665);
  Fl_Group::current()->resizable(view);
  window->end();
  view->scene = scene;
}

void AppWindow::show() {
  window->show();
  view->show();
}
