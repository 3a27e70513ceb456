// The rows of the operator table are the help window's list, the README's
// table and the manual page's controls: they must not drift apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "humanoid/Humanoid.h"
#include "view/Controls.h"
#include "view/OperatorTable.h"
#include "view/WindowTitle.h"

namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The rows of the README's controls table, as "input | effect".
std::vector<std::string> readmeRows() {
  std::istringstream in(fileText(MANNEQUIN_SOURCE_DIR "/README.md"));
  std::vector<std::string> rows;
  bool inTable = false;
  for (std::string line; std::getline(in, line);) {
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
  std::istringstream in(fileText(MANNEQUIN_SOURCE_DIR "/data/mannequin.1"));
  std::vector<std::string> inputs;
  bool controls = false, tagged = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(".SH", 0) == 0) controls = line == ".SH MOUSE CONTROLS" || line == ".SH KEYS";
    if (controls && tagged) inputs.push_back(bare(line.substr(line.find(' ') + 1)));
    tagged = line == ".TP";
  }
  return inputs;
}

}  // namespace

// The help's rows, as "| input | effect |" in the README's table and as the
// inputs of the manual page.
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

// The help window's settings paragraph, word for word in both documents, and
// the defaults as a new figure has them.
TEST(Controls, TheSettingsNotesAreTheSameEverywhere) {
  EXPECT_EQ(settingsText(*buildHumanoid()), kDefaultSettings);
  for (const char* file : {"/README.md", "/data/mannequin.1"}) {
    const std::string text = fileText(MANNEQUIN_SOURCE_DIR + std::string(file));
    EXPECT_NE(text.find(std::string("starts with ") + kDefaultSettings + ".\n"), std::string::npos) << file;
    for (const char* note : kToleranceNotes) EXPECT_NE(text.find(note), std::string::npos) << file << ": " << note;
    EXPECT_NE(text.find(kBlenderNote), std::string::npos) << file;
    EXPECT_NE(text.find(kPosingNote), std::string::npos) << file;
  }
}

// A file's name with a * while the pose differs from it; untitled with a *
// once a pose that never had a file changes.
TEST(Controls, TheTitleNamesTheFileAndItsChanges) {
  EXPECT_EQ(windowTitle("s", "", "", false), "mannequin - s");
  EXPECT_EQ(windowTitle("s", "", "untitled", true), "untitled* - mannequin - s");
  EXPECT_EQ(windowTitle("s", "copied", "a.pose", false), "a.pose - mannequin - copied");
  EXPECT_EQ(windowTitle("s", "", "a.pose", true), "a.pose* - mannequin - s");
}
