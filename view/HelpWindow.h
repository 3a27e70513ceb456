#pragma once

#include <FL/Fl_Window.H>

#include <string>

// A small window that lists every control of the program. Escape or closing
// it hides it; it is shown again on request.
class HelpWindow : public Fl_Window {
 public:
  HelpWindow();

  int handle(int event) override;
  // Shows the solver's settings as they are now, below the list.
  void showSettings(const std::string& settings);
  // Shows the window over the middle of the main one, which keeps its size.
  void showOver(const Fl_Window& main, const std::string& settings);

  // The page as the window shows it, in the toolkit's HTML subset.
  static std::string html(const std::string& settings);

 private:
  class Fl_Help_View* page;
  std::string text;  // the help view keeps a pointer to its own copy
};
