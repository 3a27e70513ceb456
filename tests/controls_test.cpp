// The rows of the operator table are the help window's list, the README's
// table and the manual page's controls: they must not drift apart.
#include <gtest/gtest.h>

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

// The table's rows that the help lists, as "input | effect".
std::vector<std::string> tableRows() {
  std::vector<std::string> rows;
  for (const operators::Row* row = operators::begin(); row != operators::end(); ++row) {
    if (row->input) rows.push_back(std::string("| ") + row->input + " | " + row->effect + " |");
  }
  return rows;
}

// The inputs of the manual page's mouse controls and keys: the line after
// each .TP, its fonts' words joined ('.BR 1 ", " 2' is "1, 2").
std::vector<std::string> manualInputs() {
  std::istringstream in(fileText(MANNEQUIN_SOURCE_DIR "/data/mannequin.1"));
  std::vector<std::string> inputs;
  bool controls = false, tagged = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(".SH", 0) == 0) controls = line == ".SH MOUSE CONTROLS" || line == ".SH KEYS";
    if (controls && tagged) {
      std::string words;
      bool quoted = false;
      for (char c : line.substr(line.find(' ') + 1)) {
        if (c == '"') quoted = !quoted;
        else if (c != ' ' || quoted) words += c == '\\' ? "" : std::string(1, c);
      }
      inputs.push_back(words);
    }
    tagged = line == ".TP";
  }
  return inputs;
}

// A row's input without its backticks and blanks, as the manual page has it.
std::string bare(const std::string& input) {
  std::string out;
  for (char c : input) {
    if (c != '`' && c != ' ') out += c;
  }
  return out;
}

}  // namespace

TEST(Controls, TheReadmeAndTheManualPageListTheTablesRows) {
  EXPECT_EQ(readmeRows(), tableRows());
  std::vector<std::string> inputs;
  for (const operators::Row* row = operators::begin(); row != operators::end(); ++row) {
    if (row->input) inputs.push_back(bare(row->input));
  }
  std::vector<std::string> manual = manualInputs();
  for (std::string& input : manual) input = bare(input);
  EXPECT_EQ(manual, inputs);
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
