// What keys and buttons do without a display: the operator table's
// lookups and its rows in the README and the manual page, a held key's
// repeats, when a command runs, the settings keys and the title's words.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "document/PoseDocument.h"
#include "ik_test_util.h"
#include "temp_folder.h"
#include "view/CommandQueue.h"
#include "view/Controls.h"
#include "view/KeyPresses.h"
#include "view/OperatorTable.h"
#include "view/SettingsKeys.h"
#include "view/TileSteps.h"
#include "view/TitleMessage.h"
#include "view/WindowTitle.h"

// When the toolkit's current event happened (FL/x.H, whose Xlib macros
// would hide the enums' None).
extern unsigned long fl_event_time;

namespace {

using operators::commandFor;
using C = Command;

// Ctrl alone, Ctrl with Shift; Alt or Meta beside Ctrl make no command. The
// look is plain v alone; with Ctrl it is still a paste. The views: plain,
// Shift for the other side of a function key, Ctrl for the other side of a
// keypad digit; f and the help keys with or without Shift.
TEST(OperatorTable, CommandsNeedTheirModifiers) {
  const struct {
    int key, state;
    Command command;
  } rows[] = {
      {'z', FL_CTRL, C::Undo},            {'z', FL_CTRL | FL_SHIFT, C::Redo},     {'y', FL_CTRL, C::Redo},
      {'r', FL_CTRL | FL_CAPS_LOCK, C::Reset}, {'v', FL_CTRL, C::Paste},        {'v', FL_CTRL | FL_SHIFT, C::PasteMirrored},
      {'s', FL_CTRL | FL_SHIFT, C::SaveAs}, {'e', FL_CTRL | FL_SHIFT, C::ExportPictureAs}, {'q', FL_CTRL, C::Quit},
      {'z', 0, C::None},                  {'z', FL_SHIFT, C::None},               {'z', FL_CTRL | FL_ALT, C::None},
      {'z', FL_CTRL | FL_META, C::None},  {'z', FL_ALT, C::None},                 {'x', FL_CTRL, C::None},
      {'Z', FL_CTRL, C::None},            {'v', 0, C::ToggleLook},                {'v', FL_SHIFT, C::ToggleLook},
      {'v', FL_ALT, C::None},             {FL_KP + '1', 0, C::ViewFront},         {FL_KP + '1', FL_CTRL, C::ViewBack},
      {FL_KP + '3', FL_SHIFT, C::ViewRight}, {FL_KP + '3', FL_CTRL, C::ViewLeft}, {FL_KP + '7', 0, C::ViewTop},
      {FL_KP + '7', FL_CTRL | FL_SHIFT, C::ViewBottom}, {FL_F + 5, 0, C::ViewFront}, {FL_F + 5, FL_SHIFT, C::ViewBack},
      {FL_F + 6, FL_SHIFT, C::ViewLeft},  {FL_F + 7, FL_SHIFT, C::ViewBottom},    {FL_F + 5, FL_CTRL, C::None},
      {FL_F + 6, FL_CTRL | FL_SHIFT, C::None}, {FL_KP + '1', FL_ALT, C::None},    {'f', FL_SHIFT, C::FitFigure},
      {'f', FL_CTRL, C::None},            {FL_Home, FL_CTRL, C::Home},            {FL_F + 1, FL_SHIFT, C::ShowHelp},
      {FL_Escape, 0, C::HideHelp},
  };
  for (const auto& row : rows) EXPECT_EQ(commandFor(row.key, row.state), row.command) << row.key << " " << row.state;
  // With NumLock off the toolkit says Home, End or Page Down for a keypad
  // digit: the commands take the key itself.
  EXPECT_EQ(operators::commandKey(FL_Home, FL_KP + '7'), FL_KP + '7');
  EXPECT_EQ(operators::commandKey(FL_KP + '1', FL_KP + '1'), FL_KP + '1');
  EXPECT_EQ(operators::commandKey(FL_Home, FL_Home), FL_Home);
  EXPECT_EQ(operators::commandKey('/', FL_KP + '/'), '/');
}

TEST(OperatorTable, ButtonsAndAnswers) {
  const std::tuple<int, int, Gesture> buttons[] = {
      {FL_LEFT_MOUSE, 0, Gesture::Pose},         {FL_LEFT_MOUSE, FL_CTRL, Gesture::Pose},
      {FL_LEFT_MOUSE, FL_SHIFT, Gesture::Rotate}, {FL_MIDDLE_MOUSE, FL_SHIFT | FL_CTRL, Gesture::Pan},
      {FL_MIDDLE_MOUSE, 0, Gesture::None},       {FL_RIGHT_MOUSE, 0, Gesture::Unpin},
      {FL_RIGHT_MOUSE, FL_SHIFT, Gesture::Zoom}};
  for (const auto& [button, state, gesture] : buttons) EXPECT_EQ(operators::gestureFor(button, state), gesture);
  const std::pair<Answer, std::string> answers[] = {
      {Answer::Save, "&Save"}, {Answer::Discard, "&Discard"}, {Answer::Replace, "&Replace"}, {Answer::Overwrite, "&Overwrite"}};
  for (const auto& [answer, label] : answers) EXPECT_EQ(operators::labelOf(answer), label);
}

// The toolkit repeats a held key's press with no release between, or as a
// release and a press at the same moment; only the key's own release ends
// its hold, and a new press, however soon, is fresh again.
TEST(KeyPresses, AHeldKeyIsOnePress) {
  KeyPresses keys;
  fl_event_time = 1000;
  EXPECT_TRUE(keys.fresh('z'));
  EXPECT_EQ(keys.heldKey(), 'z');
  EXPECT_FALSE(keys.fresh('z'));
  keys.released('x');
  EXPECT_FALSE(keys.fresh('z'));
  keys.released('z');
  EXPECT_EQ(keys.heldKey(), 0);
  EXPECT_FALSE(keys.fresh('z')) << "a release and a press at the same moment";
  keys.released('z');
  fl_event_time = 1001;
  EXPECT_TRUE(keys.fresh('z'));
  EXPECT_TRUE(keys.fresh('y')) << "another key";
  fl_event_time = 0;  // events another program sent say no time
  keys.released('y');
  EXPECT_TRUE(keys.fresh('y'));
}

class Settings : public testing::Test {
 protected:
  void key(int k, int state = 0) { keys.take(FL_KEYBOARD, k, state, doc); }
  std::string said() const { return settingsText(doc.figure()); }

  PoseDocument doc{buildHumanoid()};
  SettingsKeys keys;
};

// Each setting key as the solver and the title take it, without a solve;
// other keys change nothing.
TEST_F(Settings, EachKeySetsTheSolverAndNotThePose) {
  EXPECT_EQ(said(), kDefaultSettings);
  for (int c : {int('a'), int('x'), int('S'), int('N'), int('0'), int('4'), int(' '), FL_KP + '1', int('z')}) key(c);
  EXPECT_EQ(said(), kDefaultSettings);
  const std::vector<double> pose = doc.figure().dofs();
  const std::pair<char, const char*> steps[] = {
      {'3', "tolerance 0.0001, limits off, uniform weights"}, {'2', "tolerance 0.001, limits off, uniform weights"},
      {'n', "tolerance 0.001, limits on, uniform weights"},   {'s', "tolerance 0.001, limits on, limb weights"},
      {'1', "tolerance 0.01, limits on, limb weights"},       {'m', "tolerance 0.01, limits off, limb weights"},
      {'d', "tolerance 0.01, limits off, uniform weights"},
  };
  for (const auto& [k, settings] : steps) {
    key(k);
    EXPECT_EQ(said(), settings) << k;
    if (k == 's') expectLimbWeights(doc.figure());
  }
  expectUniformWeights(doc.figure());
  EXPECT_EQ(doc.figure().dofs(), pose);
  EXPECT_EQ(doc.steps().undoCount(), 0u);
  EXPECT_FALSE(doc.modified());
}

// A key with Ctrl or Alt is a command: the settings see it neither at its
// press nor on the events after it, which take again the last key they saw.
TEST_F(Settings, KeysWithCtrlOrAltAreNoSettings) {
  key('2');
  const std::pair<int, const char*> presses[] = {{FL_CTRL, "13n"}, {FL_ALT, "13ns"}, {FL_CTRL | FL_SHIFT, "13n"}};
  for (const auto& [modifier, ks] : presses) {
    for (const char* k = ks; *k; ++k) {
      keys.take(FL_SHORTCUT, *k, modifier, doc);
      keys.take(FL_MOVE, *k, 0, doc);  // the toolkit still holds the key
      keys.take(FL_KEYUP, *k, 0, doc);
    }
  }
  EXPECT_EQ(said(), "tolerance 0.001, limits off, uniform weights");
  doc.apply(SolverSetting::Tolerance2);
  keys.take(FL_MOVE, 'n', 0, doc);
  EXPECT_EQ(said(), "tolerance 0.001, limits off, uniform weights") << "the last key the settings saw was 2";
  key('n', FL_SHIFT);
  EXPECT_EQ(said(), "tolerance 0.001, limits on, uniform weights");
}

// A file's name with a * while the pose differs from it, untitled with a *
// once a pose that never had a file changes; the words last said, for five
// seconds, instead of the settings.
TEST(WindowTitle, NamesTheFileItsChangesAndTheWordsOfTheLastFiveSeconds) {
  EXPECT_EQ(windowTitle("s", "", "", false), "mannequin - s");
  EXPECT_EQ(windowTitle("s", "", "untitled", true), "untitled* - mannequin - s");
  EXPECT_EQ(windowTitle("s", "copied", "a.pose", false), "a.pose - mannequin - copied");
  EXPECT_EQ(windowTitle("s", "", "a.pose", true), "a.pose* - mannequin - s");
  TitleMessage message;
  EXPECT_EQ(message.words(0), "");
  message.say("nothing to undo", 100.0);
  message.say("copied", 101.0);
  EXPECT_EQ(message.words(105.99), "copied");
  EXPECT_DOUBLE_EQ(message.secondsLeft(103.0), 3.0);
  EXPECT_EQ(message.words(106.0), "");
  EXPECT_EQ(message.secondsLeft(106.0), 0.0);
  message.say("", 107.0);
  EXPECT_EQ(message.secondsLeft(107.0), 0.0);
  EXPECT_EQ(windowTitle(kDefaultSettings, message.words(107.0)), std::string("mannequin - ") + kDefaultSettings);
  // A warning held during a gesture (no copy of the work kept) goes after
  // the gesture's words, or alone, and once.
  message.hold("no recovery copy is kept");
  message.say("reset", 110.0);
  EXPECT_EQ(message.words(110.0), "reset; no recovery copy is kept");
  message.hold("no recovery copy is kept");
  message.say("", 111.0);
  EXPECT_EQ(message.words(111.0), "no recovery copy is kept");
  message.say("copied", 112.0);
  EXPECT_EQ(message.words(112.0), "copied");
}

using Verdict = CommandQueue::Verdict;

TEST(CommandQueue, RunsAtOnceUnlessAButtonIsHeldOrAPickWaits) {
  CommandQueue queue;
  EXPECT_EQ(queue.offer(C::Undo, false, false), Verdict::Run);
  EXPECT_EQ(queue.offer(C::Undo, true, false), Verdict::Drop);
  EXPECT_EQ(queue.offer(C::Undo, true, true), Verdict::Drop);
  EXPECT_FALSE(queue.due(false));
}

// Keys pressed while a pick waits run after it in their order, unless a
// button goes down before they run.
TEST(CommandQueue, KeysPressedWhileAPickWaitsRunAfterItInTheirOrder) {
  CommandQueue queue;
  EXPECT_EQ(queue.offer(C::Undo, false, true), Verdict::Wait);
  EXPECT_FALSE(queue.due(true));
  // The pick has run, but a key pressed now goes behind the one waiting.
  EXPECT_EQ(queue.offer(C::Redo, false, false), Verdict::Wait);
  EXPECT_TRUE(queue.due(false));
  EXPECT_EQ(queue.take(false), (std::vector<Command>{C::Undo, C::Redo}));
  EXPECT_FALSE(queue.due(false));
  EXPECT_EQ(queue.offer(C::Copy, false, false), Verdict::Run);
  queue.offer(C::Reset, false, true);
  EXPECT_TRUE(queue.take(true).empty());
  EXPECT_FALSE(queue.due(false));
  EXPECT_EQ(queue.offer(C::Undo, false, false), Verdict::Run);
}

// The rows of the README's controls table, as "input | effect".
std::vector<std::string> readmeRows() {
  std::vector<std::string> rows;
  bool inTable = false;
  for (const std::string& line : linesOf(TempFolder::contents(MANNEQUIN_SOURCE_DIR "/README.md"))) {
    if (line == "| Input | Effect |") inTable = true;
    if (!inTable) continue;
    if (line.empty()) break;
    if (line.rfind("| Input", 0) == 0 || line.rfind("|---", 0) == 0) continue;
    rows.push_back(line);
  }
  return rows;
}

// An input without its backticks, quotes, escapes and blanks.
std::string bare(std::string input) {
  input.erase(std::remove_if(input.begin(), input.end(), [](char c) { return std::strchr("`\"\\ ", c); }), input.end());
  return input;
}

// The inputs of the manual page's mouse controls and keys: the line after
// each .TP, its fonts' words joined ('.BR 1 ", " 2' is "1,2").
std::vector<std::string> manualInputs() {
  std::vector<std::string> inputs;
  bool controls = false, tagged = false;
  for (const std::string& line : linesOf(TempFolder::contents(MANNEQUIN_SOURCE_DIR "/data/mannequin.1"))) {
    if (line.rfind(".SH", 0) == 0) controls = line == ".SH MOUSE CONTROLS" || line == ".SH KEYS";
    if (controls && tagged) inputs.push_back(bare(line.substr(line.find(' ') + 1)));
    tagged = line == ".TP";
  }
  return inputs;
}

// The operator table's help rows are the help window's list, the README's
// table ("| input | effect |") and the manual page's inputs: they must not
// drift apart.
TEST(Controls, TheReadmeAndTheManualPageListTheTablesRows) {
  std::vector<std::string> rows, inputs;
  for (const operators::Row* row = operators::begin(); row != operators::end(); ++row) {
    if (!row->input) continue;
    rows.push_back(std::string("| ") + row->input + " | " + row->effect + " |");
    inputs.push_back(bare(row->input));
  }
  EXPECT_EQ(readmeRows(), rows);
  EXPECT_EQ(manualInputs(), inputs);
}

// The help window's settings paragraph, word for word in both documents.
TEST(Controls, TheSettingsNotesAreTheSameEverywhere) {
  for (const char* file : {"/README.md", "/data/mannequin.1"}) {
    const std::string text = TempFolder::contents(MANNEQUIN_SOURCE_DIR + std::string(file));
    EXPECT_NE(text.find(std::string("starts with ") + kDefaultSettings + ".\n"), std::string::npos) << file;
    for (const char* note : kToleranceNotes) EXPECT_NE(text.find(note), std::string::npos) << file << ": " << note;
    EXPECT_NE(text.find(kBlenderNote), std::string::npos) << file;
    EXPECT_NE(text.find(kPosingNote), std::string::npos) << file;
  }
}

}  // namespace

// Two shelves' thumbnails: three in a row and one alone under the first
// shelf's, two under the second's heading. Every step worked by hand.
TEST(TileSteps, ArrowsGoAcrossRowsAndShortRowsAndStopAtTheEnds) {
  const std::vector<TilePlace> shelves = {{10, 30}, {160, 30}, {310, 30}, {10, 180}, {10, 354}, {160, 354}};
  using T = TileStep;
  const std::tuple<int, TileStep, int> steps[] = {
      {-1, T::Down, 0}, {-1, T::Left, 0}, {0, T::Left, 0},  {2, T::Right, 3}, {3, T::Left, 2}, {5, T::Right, 5},
      {2, T::Down, 3},  {1, T::Down, 3},  {3, T::Down, 4},  {4, T::Down, 4},  {5, T::Up, 3},   {4, T::Up, 3},
      {3, T::Up, 0},    {0, T::Up, 0},    {5, T::Down, 5},  {1, T::Up, 1}};
  for (const auto& [from, step, to] : steps) {
    EXPECT_EQ(tileToward(shelves, from, step, 0), to) << from << " " << static_cast<int>(step);
  }
  // Scrolled down with none chosen: the first step goes to the first in sight.
  EXPECT_EQ(tileToward(shelves, -1, T::Down, 181), 4);
  EXPECT_EQ(tileToward(shelves, -1, T::Left, 180), 3);
  EXPECT_EQ(tileToward(shelves, -1, T::Up, 400), 0) << "none in sight";
  EXPECT_EQ(tileToward({}, -1, T::Right, 0), -1);
}
