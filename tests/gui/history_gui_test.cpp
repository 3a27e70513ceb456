// The command keys in the real window: each reaches its verb once per press,
// none acts while a button is held, and a paste's text comes through the X
// server. What the verbs do to the pose and its steps is the document's
// affair (document_test).
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
  // Two handles: two steps to undo.
  void pinTwo() {
    ASSERT_NE(pinOn("h_head"), nullptr);
    ASSERT_NE(pinOn("h_thigh_left"), nullptr);
  }
};

}  // namespace

// The toolkit repeats the press of a held key with no release between, or as
// a release and a press at the same moment; only the key's own release ends
// its hold, and a new press, however soon, acts again.
TEST_F(History, AHeldKeyUndoesOneStep) {
  ASSERT_NO_FATAL_FAILURE(pinTwo());
  pressCommand('z');
  pressCommand('z');
  releaseCommand('x');
  pressCommand('z');
  releaseCommand('z');
  fl_event_time -= 10;
  pressCommand('z');
  EXPECT_EQ(figure->handleCount(), 1);
  releaseCommand('z');
  command('z');
  EXPECT_EQ(figure->handleCount(), 0);
}

// Ctrl with Alt is no command.
TEST_F(History, CtrlZUndoesCtrlYOrCtrlShiftZRedoAndCtrlRResets) {
  ASSERT_NO_FATAL_FAILURE(pinTwo());
  command('z', FL_CTRL | FL_ALT);
  EXPECT_EQ(figure->handleCount(), 2);
  command('z');
  EXPECT_EQ(figure->handleCount(), 1);
  command('y');
  EXPECT_EQ(figure->handleCount(), 2);
  command('z');
  command('z', FL_CTRL | FL_SHIFT);
  EXPECT_EQ(figure->handleCount(), 2);
  command('r');
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

// Whether or not the button started anything; the drag goes on with the
// same handle, as one step.
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
  drag(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(view->grabbedHandle, figure->handles.front().handle);
  release(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(document->steps().undoCount(), 2u);
  press(FL_MIDDLE_MOUSE, 5, 5);
  command('z', FL_CTRL | FL_BUTTON2);
  EXPECT_EQ(document->steps().undoCount(), 2u);
  release(FL_MIDDLE_MOUSE, 5, 5);
  command('z');
  EXPECT_EQ(document->steps().undoCount(), 1u);
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
  // Runs the event loop until the answer has come; what it printed.
  std::string answer() {
    return printedBy([this] {
      for (int i = 0; i < 500 && view->pasteWaiting(); ++i) Fl::wait(0.01);
    });
  }
};

// What a paste prints, the title says word for word; a button held when the
// text arrives refuses it.
TEST_F(Pasting, ARefusalShowsInTheTitleAndAHeldButtonRefusesTheText) {
  askToPaste("hello\n");
  EXPECT_EQ(answer(), "paste: line 1: not a mannequin pose: it begins with \"hello\"\n");
  EXPECT_EQ(title(), "mannequin - paste: line 1: not a mannequin pose: it begins with \"hello\"");
  askToPaste("hello\n", FL_CTRL | FL_SHIFT);
  press(FL_LEFT_MOUSE, 5, 5);
  EXPECT_EQ(answer(), "paste mirrored: not done: a mouse button is held\n");
  release(FL_LEFT_MOUSE, 5, 5);
}

TEST_F(Pasting, TextDroppedOnTheViewIsNoPaste) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  std::string text = pose_text::write(*figure);
  command('r');
  send(FL_DND_RELEASE, 100, 100, 0, 'v');
  Fl::e_text = text.data();
  Fl::e_length = static_cast<int>(text.size());
  send(FL_PASTE, 100, 100, 0, 'v');
  EXPECT_EQ(figure->handleCount(), 0);
}
