#include "app/AppWindow.h"

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
  view->showTitle();
  // Closing the main window ends the program, help window or not, once the
  // person has said what to do with changes not saved.
  window->callback(
      [](Fl_Widget* w, void* app) {
        GLView* view = static_cast<AppWindow*>(app)->view;
        if (!view->mayClose()) return;
        view->hideHelp();
        w->hide();
      },
      this);
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
