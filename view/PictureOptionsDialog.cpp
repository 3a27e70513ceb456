#include "view/PictureOptionsDialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>

#include <array>
#include <optional>
#include <cstdlib>
#include <string>

#include "view/OperatorTable.h"

namespace {

using Size = PictureOptions::Size;
using Background = PictureOptions::Background;
using Style = PictureOptions::Style;

std::string sizeLabel(const char* name, PictureOptions::Size size, int viewWidth, int viewHeight) {
  PictureOptions options;
  options.size = size;
  const PictureSize s = pictureSize(options, viewWidth, viewHeight);
  return s.refusal.empty() ? std::string(name) + ", " + std::to_string(s.width) + " x " + std::to_string(s.height)
                           : std::string(name) + ", too large";
}

// The window's widgets, and what the person chose.
struct Form {
  Fl_Double_Window window{340, 364, "mannequin: picture"};
  PictureOptions* options = nullptr;
  int viewWidth = 0, viewHeight = 0;
  std::array<Fl_Round_Button*, 4> sizes{};
  Fl_Int_Input* width = nullptr;
  std::array<Fl_Round_Button*, 3> backgrounds{};
  std::array<Fl_Round_Button*, 2> styles{};
  Fl_Check_Button* references = nullptr;
  Fl_Box* problem = nullptr;
  bool accepted = false;
};

// What the form says, or why it says nothing that can be drawn.
std::string read(const Form& form, PictureOptions& options, int viewWidth, int viewHeight) {
  PictureOptions chosen = options;
  for (int i = 0; i < 4; ++i) {
    if (form.sizes[i]->value()) chosen.size = static_cast<Size>(i);
  }
  for (int i = 0; i < 3; ++i) {
    if (form.backgrounds[i]->value()) chosen.background = static_cast<Background>(i);
  }
  for (int i = 0; i < 2; ++i) {
    if (form.styles[i]->value()) chosen.style = static_cast<Style>(i);
  }
  chosen.references = form.references->value() != 0;
  if (chosen.size == Size::Width) {
    const std::optional<int> width = typedWidth(form.width->value());
    if (!width) return "The width is a whole number from 1 to 8192.";
    chosen.width = *width;
  }
  // The refusal's words are longer than the window is wide.
  if (!pictureSize(chosen, viewWidth, viewHeight).refusal.empty()) return "Too large for this view.";
  options = chosen;
  return "";
}

// Closes the window on what can be drawn; else says why and stays.
void accept(Form& form) {
  const std::string problem = read(form, *form.options, form.viewWidth, form.viewHeight);
  form.problem->copy_label(problem.c_str());
  if (!problem.empty()) return;
  form.accepted = true;
  form.window.hide();
}

Fl_Round_Button* radio(int x, int y, int w, const std::string& label) {
  auto* button = new Fl_Round_Button(x, y, w, 22);
  button->copy_label(label.c_str());
  button->type(FL_RADIO_BUTTON);
  return button;
}

void build(Form& form, const PictureOptions& options, int viewWidth, int viewHeight) {
  auto* sizeTitle = new Fl_Box(10, 8, 280, 20, "Size");
  sizeTitle->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  sizeTitle->labelfont(FL_BOLD);
  auto* sizeGroup = new Fl_Group(10, 28, 280, 92);
  form.sizes[0] = radio(20, 28, 260, sizeLabel("The view's", Size::View, viewWidth, viewHeight));
  form.sizes[1] = radio(20, 50, 260, sizeLabel(operators::labelOf(Answer::DoubleSize), Size::Double, viewWidth, viewHeight));
  form.sizes[2] = radio(20, 72, 260, sizeLabel(operators::labelOf(Answer::QuadrupleSize), Size::Quadruple, viewWidth, viewHeight));
  form.sizes[3] = radio(20, 94, 80, operators::labelOf(Answer::Width));
  sizeGroup->end();
  form.width = new Fl_Int_Input(100, 94, 70, 22);
  form.width->value(std::to_string(options.width).c_str());
  form.width->when(FL_WHEN_CHANGED);
  form.width->callback([](Fl_Widget*, void* f) { static_cast<Form*>(f)->sizes[3]->setonly(); }, &form);
  auto* unit = new Fl_Box(175, 94, 110, 22, "pixels (to 8192)");
  unit->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  auto* backgroundTitle = new Fl_Box(10, 126, 280, 20, "Background");
  backgroundTitle->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  backgroundTitle->labelfont(FL_BOLD);
  auto* backgroundGroup = new Fl_Group(10, 146, 280, 70);
  form.backgrounds[0] = radio(20, 146, 260, operators::labelOf(Answer::Black));
  form.backgrounds[1] = radio(20, 168, 260, operators::labelOf(Answer::White));
  form.backgrounds[2] = radio(20, 190, 260, operators::labelOf(Answer::Transparent));
  backgroundGroup->end();
  auto* styleTitle = new Fl_Box(10, 216, 280, 20, "Look");
  styleTitle->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  styleTitle->labelfont(FL_BOLD);
  auto* styleGroup = new Fl_Group(10, 236, 280, 48);
  form.styles[0] = radio(20, 236, 260, operators::labelOf(Answer::Plain));
  form.styles[1] = radio(20, 258, 260, operators::labelOf(Answer::Clay));
  styleGroup->end();
  form.sizes[static_cast<int>(options.size)]->setonly();
  form.backgrounds[static_cast<int>(options.background)]->setonly();
  form.styles[static_cast<int>(options.style)]->setonly();
  form.references = new Fl_Check_Button(10, 286, 320, 22, operators::labelOf(Answer::WithReferences));
  form.references->value(options.references);
  form.problem = new Fl_Box(10, 308, 320, 20);
  form.problem->labelcolor(FL_RED);
  form.problem->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  auto* cancel = new Fl_Button(150, 332, 80, 25, "Cancel");
  cancel->callback([](Fl_Widget*, void* f) { static_cast<Form*>(f)->window.hide(); }, &form);
  auto* next = new Fl_Return_Button(240, 332, 90, 25, "Next...");
  next->callback([](Fl_Widget*, void* f) { accept(*static_cast<Form*>(f)); }, &form);
  form.window.end();
  form.window.set_modal();
  form.window.xclass("mannequin");
}

}  // namespace

std::optional<int> typedWidth(const char* text) {
  char* end = nullptr;
  const long width = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || width < 1 || width > PictureOptions::kMaxSide) return std::nullopt;
  return static_cast<int>(width);
}

bool askPictureOptions(PictureOptions& options, int viewWidth, int viewHeight) {
  Form form;
  form.options = &options;
  form.viewWidth = viewWidth;
  form.viewHeight = viewHeight;
  build(form, options, viewWidth, viewHeight);
  form.window.show();
  while (form.window.shown()) Fl::wait();
  return form.accepted;
}
