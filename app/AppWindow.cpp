#include "app/AppWindow.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/x.H>

#include <X11/Xutil.h>

#include "app/WindowIcon.h"

AppWindow::AppWindow(PoseDocument& document) {
  window = std::make_unique<Fl_Window>(694, 666);
  window->user_data(this);
  view = new GLView(0, 0, 690, 665, document);
  Fl_Group::current()->resizable(view);
  window->end();
  // Desktops match the window to the program's menu entry by its class.
  window->xclass("mannequin");
  setWindowIcon(*window);
  window->copy_label(view->title().c_str());
  // Closing the main window ends the program, help window or not, once the
  // person has said what to do with changes not saved.
  window->callback(
      [](Fl_Widget*, void* app) {
        auto* self = static_cast<AppWindow*>(app);
        if (self->view->mayClose()) self->close();
      },
      this);
  Fl::add_check(check, this);
}

AppWindow::~AppWindow() { Fl::remove_check(check, this); }

// After every event and timer: the title as the view has it now, and the
// window closed once Quit has been let through.
void AppWindow::check(void* app) {
  auto* self = static_cast<AppWindow*>(app);
  const std::string title = self->view->title();
  if (!self->window->label() || title != self->window->label()) self->window->copy_label(title.c_str());
  if (self->view->takeQuit()) self->close();
}

void AppWindow::close() {
  view->hideHelp();
  window->hide();
}

void AppWindow::show() {
  window->show();
  // The toolkit capitalises the class part; the desktop entry names both alike.
  XClassHint hint{const_cast<char*>("mannequin"), const_cast<char*>("mannequin")};
  XSetClassHint(fl_display, fl_xid(window.get()), &hint);
  view->show();
  // The view takes the keys from the start, with their releases.
  view->take_focus();
}
