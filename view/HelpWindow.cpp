#include "view/HelpWindow.h"

#include "view/Controls.h"
#include "view/OperatorTable.h"

// Last: through the help view, Xlib defines macros such as None.
#include <FL/Fl.H>
#include <FL/Fl_Help_View.H>

namespace {

// Backticks mark keys: shown in a fixed font, with the HTML specials escaped.
std::string toHtml(const char* text) {
  std::string out;
  bool key = false;
  for (const char* c = text; *c; ++c) {
    switch (*c) {
      case '`':
        out += key ? "</tt>" : "<tt>";
        key = !key;
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      default:
        out += *c;
    }
  }
  return out;
}

constexpr int kWidth = 620;
constexpr int kHeight = 600;

}  // namespace

std::string HelpWindow::html(const std::string& settings) {
  std::string page = "<h3>mannequin: controls</h3><p><b>Settings now: " + toHtml(settings.c_str()) +
                     ".</b> At start: " + kDefaultSettings + ". ";
  for (const char* note : kToleranceNotes) page += toHtml(note) + std::string(" ");
  // The help view sizes a table's percentage as if it had no scrollbar: at
  // 100% the table's right edge lies under the scrollbar.
  page += "</p><table border=1 cellpadding=3 width=96%>";
  for (const operators::Row* row = operators::begin(); row != operators::end(); ++row) {
    if (row->input) page += "<tr><td>" + toHtml(row->input) + "</td><td>" + toHtml(row->effect) + "</td></tr>";
  }
  return page + "</table><p>" + toHtml(kBlenderNote) + "</p><p>Escape closes this window.</p>";
}

HelpWindow::HelpWindow() : Fl_Window(kWidth, kHeight, "mannequin: controls") {
  page = new Fl_Help_View(0, 0, kWidth, kHeight);
  end();
  set_non_modal();
  xclass("mannequin");
}

void HelpWindow::showSettings(const std::string& settings) {
  // Set again, the page would scroll back to its top.
  if (html(settings) == text) return;
  text = html(settings);
  page->value(text.c_str());
}

void HelpWindow::showOver(const Fl_Window& main, const std::string& settings) {
  showSettings(settings);
  position(main.x() + (main.w() - w()) / 2, main.y() + (main.h() - h()) / 2);
  show();
}

int HelpWindow::handle(int event) {
  if ((event == FL_KEYBOARD || event == FL_SHORTCUT) &&
      operators::commandFor(Fl::event_key(), Fl::event_state()) == Command::HideHelp) {
    hide();
    return 1;
  }
  return Fl_Window::handle(event);
}
