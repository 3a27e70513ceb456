#include <FL/Fl.H>

#include "app/AppWindow.h"
#include "app/Scene.h"

// The command line is ignored.
int main(int, char**) {
  Scene scene;
  AppWindow app(&scene);
  Fl::visual(FL_DOUBLE);
  app.show();
  return Fl::run();
}
