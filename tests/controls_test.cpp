// The list of controls that the help window shows is the README's table, and
// the manual page names every key in it: the three must not drift apart.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "humanoid/Humanoid.h"
#include "view/Controls.h"
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

// The keys of a control: its text between backticks.
std::vector<std::string> keysOf(const Control& c) {
  std::vector<std::string> keys;
  const std::string input = c.input;
  for (size_t open = input.find('`'); open != std::string::npos; open = input.find('`', open)) {
    const size_t close = input.find('`', open + 1);
    keys.push_back(input.substr(open + 1, close - open - 1));
    open = close + 1;
  }
  return keys;
}

}  // namespace

TEST(Controls, TheReadmeTableIsTheHelpWindowsList) {
  const std::vector<std::string> rows = readmeRows();
  ASSERT_EQ(rows.size(), std::size(kControls));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i], std::string("| ") + kControls[i].input + " | " + kControls[i].effect + " |");
  }
}

TEST(Controls, TheManualPageNamesEveryKey) {
  const std::string page = fileText(MANNEQUIN_SOURCE_DIR "/data/mannequin.1");
  for (const Control& c : kControls) {
    for (const std::string& key : keysOf(c)) EXPECT_NE(page.find(key), std::string::npos) << key;
  }
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
