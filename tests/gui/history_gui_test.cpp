// The editing history in the real window: which gestures make a step, what
// an undo gives back, and the rules of the command keys (once per press,
// nothing while a button is held).
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ik_test_util.h"
#include "pose/PoseText.h"
#include "window_fixture.h"

namespace {

class History : public WindowFixture {
 protected:
  // Drags the handle a few pixels up and to the right, as one gesture.
  void dragHandle(Handle* h) { WindowFixture::dragHandle(h, path(pixelOf(h->worldPos), 3, -4, 4)); }
  // Pins a handle on the left forearm and drags it, following closely.
  Handle* dragArm() {
    Handle* arm = pinOn("h_forearm_left");
    EXPECT_NE(arm, nullptr);
    typeKey('3');
    if (arm) dragHandle(arm);
    return arm;
  }

  size_t steps() const { return document->steps().undoCount(); }
};

}  // namespace

TEST_F(History, AHeldKeyUndoesOneStep) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  ASSERT_NE(pinOn("h_thigh_left"), nullptr);
  ASSERT_NE(pinOn("h_thigh_right"), nullptr);
  // The toolkit repeats the press of a held key with no release between,
  pressCommand('z');
  pressCommand('z');
  // or as a release and a press at the same moment.
  releaseCommand('z');
  fl_event_time -= 10;
  pressCommand('z');
  EXPECT_EQ(figure->handleCount(), 2);
  releaseCommand('z');
  // Let go and pressed again: a new press, however soon.
  command('z');
  EXPECT_EQ(figure->handleCount(), 1);
  command('z');
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(History, OnlyTheHeldKeysOwnReleaseEndsItsHold) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  ASSERT_NE(pinOn("h_thigh_left"), nullptr);
  pressCommand('z');
  releaseCommand('x');
  pressCommand('z');  // the toolkit's repeat of the z still held
  EXPECT_EQ(figure->handleCount(), 1);
}

TEST_F(History, CtrlWithAltIsNoCommand) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  command('z', FL_CTRL | FL_ALT);
  EXPECT_EQ(figure->handleCount(), 1);
  command('z');
  EXPECT_EQ(figure->handleCount(), 0);
}

// A click, Ctrl+Z and Ctrl+Q in one burst, before any frame: the click's
// pick runs in the frame, the commands after it from the event loop, in
// their order, never inside the draw.
TEST_F(History, CommandsRightAfterAClickRunAfterItsPickOutsideTheDraw) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  int closes = 0;
  app->window->callback([](Fl_Widget*, void* n) { ++*static_cast<int*>(n); }, &closes);
  const Pixel at = pixelOf(bodyCentre(segment("h_thigh_left")));
  press(FL_LEFT_MOUSE, at.x, at.y);
  release(FL_LEFT_MOUSE, at.x, at.y);
  for (int key : {'z', 'q'}) {
    pressCommand(key);
    releaseCommand(key);
  }
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 2);
  EXPECT_EQ(closes, 0);
  framesWithin(5);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(figure->handles.front().segment, segment("h_head"));
  EXPECT_EQ(closes, 1);
}

TEST_F(History, KeysDoNothingWhileAButtonIsHeld) {
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  typeKey('3');
  const Pixel at = pixelOf(h->worldPos);
  press(FL_LEFT_MOUSE, at.x, at.y);
  drag(FL_LEFT_MOUSE, at.x + 10, at.y - 10);
  const std::vector<double> dragged = figure->dofs();
  for (int key : {'z', 'y', 'r', 'c', 'v'}) command(key, FL_CTRL | FL_BUTTON1);
  command(FL_F + 1, FL_BUTTON1);
  EXPECT_EQ(figure->handleCount(), 1);

  EXPECT_TRUE(sameVectors(figure->dofs(), dragged));
  EXPECT_FALSE(view->helpShown());
  // The drag goes on with the same handle.
  drag(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(view->grabbedHandle, figure->handles.front().handle);
  release(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(steps(), 2u);
}

TEST_F(History, AButtonThatStartsNothingStillHoldsTheKeysBack) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  press(FL_MIDDLE_MOUSE, 5, 5);
  command('z', FL_CTRL | FL_BUTTON2);
  EXPECT_EQ(figure->handleCount(), 1);
  release(FL_MIDDLE_MOUSE, 5, 5);
  command('z');
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(History, APressOnAHandleWithoutADragIsNoStep) {
  Handle* h = pinOn("h_head");
  ASSERT_NE(h, nullptr);
  const Pixel at = pixelOf(h->worldPos);
  click(FL_LEFT_MOUSE, at);
  click(FL_LEFT_MOUSE, Pixel{5, 5});  // the background
  EXPECT_EQ(steps(), 1u);
}

// Each state bit for bit is the history's own affair; these are its keys.
TEST_F(History, CtrlZUndoesAndCtrlYOrCtrlShiftZRedo) {
  const std::vector<double> before = figure->dofs();
  dragArm();
  const std::vector<double> after = figure->dofs();
  ASSERT_FALSE(sameVectors(after, before));
  command('z');
  EXPECT_TRUE(sameVectors(figure->dofs(), before));
  EXPECT_EQ(figure->handleCount(), 1);
  command('y');
  EXPECT_TRUE(sameVectors(figure->dofs(), after));
  command('z');
  EXPECT_TRUE(sameVectors(figure->dofs(), before));
  command('z', FL_CTRL | FL_SHIFT);
  EXPECT_TRUE(sameVectors(figure->dofs(), after));
}

TEST_F(History, ARemovalWithItsRelaxingIsOneStep) {
  ASSERT_NE(pinOn("h_thigh_right"), nullptr);
  Handle* arm = dragArm();
  ASSERT_NE(arm, nullptr);
  const std::vector<double> dragged = figure->dofs();
  click(FL_RIGHT_MOUSE, pixelOf(arm->worldPos));
  ASSERT_EQ(figure->handleCount(), 1);
  command('z');
  EXPECT_EQ(figure->handleCount(), 2);
  EXPECT_TRUE(sameVectors(figure->dofs(), dragged));
}

TEST_F(History, ResetGoesBackToTheBuiltPoseAndCanBeUndone) {
  const std::vector<double> built = figure->dofs();
  dragArm();
  const std::vector<double> dragged = figure->dofs();
  command('r');
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_TRUE(sameVectors(figure->dofs(), built));
  command('z');
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_TRUE(sameVectors(figure->dofs(), dragged));
}

TEST_F(History, F1ShowsTheControlsAndEscapeClosesThem) {
  command(FL_F + 1, 0);
  EXPECT_TRUE(view->helpShown());
  EXPECT_EQ(app->window->w(), 694);
  EXPECT_EQ(view->w(), 690);
  command(FL_Escape, 0);
  EXPECT_FALSE(view->helpShown());
  // Escape in the help window itself, where the keys go once it has them.
  command(FL_F + 1, 0);
  Fl_Window* help = Fl::first_window();
  while (help && std::strcmp(help->label() ? help->label() : "", "mannequin: controls") != 0) {
    help = Fl::next_window(help);
  }
  ASSERT_NE(help, nullptr);
  Fl::e_keysym = FL_Escape;
  help->handle(FL_KEYBOARD);
  EXPECT_FALSE(view->helpShown());
}

// The clipboard's text through the X server, with this process as its owner.
class Pasting : public History {
 protected:
  // Puts text on the clipboard and presses Ctrl+V (with more held).
  void askToPaste(const std::string& text, int modifiers = FL_CTRL) {
    // The server ignores a claim on the clipboard dated ahead of its own
    // clock, as the test's made-up event times soon are.
    fl_event_time = 0;
    Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
    command('v', modifiers);
  }
  // The text of a pose with a handle on the head, then a reset.
  std::string poseThenReset() {
    EXPECT_NE(pinOn("h_head"), nullptr);
    const std::string text = pose_text::write(*figure);
    command('r');
    return text;
  }
  // Runs the event loop until the answer has come; what it printed.
  std::string answer() {
    return printedBy([this] {
      for (int i = 0; i < 500 && view->pasteWaiting(); ++i) Fl::wait(0.01);
    });
  }
};

TEST_F(Pasting, TheAnswerToCtrlVIsOneStepAndOnesOwnCopyNone) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  dragHandle(figure->handles.back().handle);
  const std::string text = pose_text::write(*figure);
  const size_t posed = steps();
  askToPaste(text);
  EXPECT_EQ(answer(), "");
  EXPECT_EQ(steps(), posed);
  command('r');
  askToPaste(text);
  EXPECT_EQ(answer(), "");
  EXPECT_EQ(pose_text::write(*figure), text);
  command('z');
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(Pasting, TextArrivingWhileAButtonIsHeldIsRefused) {
  const std::string text = poseThenReset();
  askToPaste(text, FL_CTRL | FL_SHIFT);
  press(FL_LEFT_MOUSE, 5, 5);
  EXPECT_EQ(answer(), "paste mirrored: not done: a mouse button is held\n");
  release(FL_LEFT_MOUSE, 5, 5);
  EXPECT_EQ(figure->handleCount(), 0);
}

// What a paste prints, the title says word for word.
TEST_F(Pasting, ARefusalShowsInTheTitle) {
  askToPaste("hello\n");
  EXPECT_EQ(answer(), "paste: line 1: not a mannequin pose: it begins with \"hello\"\n");
  EXPECT_EQ(title(), "mannequin - paste: line 1: not a mannequin pose: it begins with \"hello\"");
}

TEST_F(Pasting, TextDroppedOnTheViewIsNoPaste) {
  const std::string text = poseThenReset();
  send(FL_DND_RELEASE, 100, 100, 0, 'v');
  Fl::e_text = const_cast<char*>(text.c_str());
  Fl::e_length = static_cast<int>(text.size());
  send(FL_PASTE, 100, 100, 0, 'v');
  EXPECT_EQ(figure->handleCount(), 0);
}
