#include "view/CaptureChooser.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hor_Value_Slider.H>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "document/PoseDocument.h"
#include "view/OperatorTable.h"
#include "view/StepKeys.h"

namespace {

// The window and its widgets, and what the person said.
class ChooserWindow : public Fl_Double_Window {
 public:
  ChooserWindow(PoseDocument& document, const capture::Capture& capture, const std::function<void()>& shown)
      : Fl_Double_Window(420, 120, "mannequin: capture"), document(document), capture(capture), drawFigure(shown) {
    slider = new Fl_Hor_Value_Slider(10, 10, 400, 25);
    slider->bounds(1, static_cast<double>(capture.frames));
    slider->step(1);
    slider->value(1);
    slider->callback([](Fl_Widget*, void* self) { static_cast<ChooserWindow*>(self)->showFrame(); }, this);
    when = new Fl_Box(10, 40, 400, 25);
    auto* keep = new Fl_Button(230, 80, 85, 28, operators::labelOf(Answer::Keep));
    keep->callback([](Fl_Widget*, void* self) { static_cast<ChooserWindow*>(self)->finish(true); }, this);
    auto* cancel = new Fl_Button(325, 80, 85, 28, operators::labelOf(Answer::Cancel));
    cancel->callback([](Fl_Widget*, void* self) { static_cast<ChooserWindow*>(self)->finish(false); }, this);
    end();
    set_modal();
    xclass("mannequin");
    // The close button cancels.
    callback([](Fl_Widget*, void* self) { static_cast<ChooserWindow*>(self)->finish(false); }, this);
  }

  int handle(int event) override {
    std::optional<Answer> jump;
    if (jumps.take(event, {Answer::FirstFrame, Answer::LastFrame, Answer::EarlierFrames, Answer::LaterFrames}, jump)) {
      if (jump) stepTo(*jump);
      return 1;
    }
    if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
      if (const std::optional<Answer> answer =
              operators::answerAmong(Fl::event_key(), {Answer::Keep, Answer::Cancel})) {
        finish(*answer == Answer::Keep);
        return 1;
      }
    }
    return Fl_Double_Window::handle(event);
  }

  // A tenth of the frames, at least one, for Page Up and Page Down.
  void stepTo(Answer step) {
    const double frames = static_cast<double>(capture.frames), page = std::max(1.0, std::floor(frames / 10));
    const double now = slider->value();
    const double to = step == Answer::FirstFrame  ? 1
                      : step == Answer::LastFrame ? frames
                      : step == Answer::EarlierFrames ? now - page
                                                      : now + page;
    slider->value(std::clamp(to, 1.0, frames));
    showFrame();
  }

  void showFrame() {
    const long frame = static_cast<long>(slider->value());
    char text[96];
    std::snprintf(text, sizeof text, "frame %ld of %ld, %.3f s", frame, capture.frames,
                  (frame - 1) * capture.frameTime);
    when->copy_label(text);
    refused = document.previewFrame(capture, frame);
    when->copy_label(refused.refused ? refused.words.c_str() : text);
    drawFigure();
  }

  // The arrow keys step the frames at once, whether or not the desktop gave
  // the new window the keyboard.
  void takeKeys() { slider->take_focus(); }

  void finish(bool keep) {
    kept = keep && !refused.refused;
    hide();
  }

  bool kept = false;
  Outcome refused;

 private:
  PoseDocument& document;
  const capture::Capture& capture;
  std::function<void()> drawFigure;  // in the view
  Fl_Hor_Value_Slider* slider;
  Fl_Box* when;
  StepKeys jumps;
};

}  // namespace

Outcome chooseCaptureFrame(PoseDocument& document, const capture::Capture& capture, const std::string& path,
                           const std::function<void()>& shown) {
  ChooserWindow window(document, capture, shown);
  // Over the foot of the main window, where the figure rarely is.
  if (const Fl_Window* main = Fl::first_window()) {
    window.position(main->x() + (main->w() - window.w()) / 2, main->y() + main->h() - window.h() - 20);
  }
  window.showFrame();
  window.show();
  window.takeKeys();
  while (window.shown()) Fl::wait();
  if (!window.kept) {
    document.dropPreview();
    shown();
    return window.refused.refused ? window.refused : Outcome{};
  }
  return document.keepPreview(PoseDocument::importedWords(path), true);
}
