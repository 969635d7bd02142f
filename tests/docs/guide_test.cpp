// The guide's reference is the program's own tables: every control of the window with the name
// and number a script calls it by, every script command as the parser takes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "platform/winapp.h"
#include "platform/resources.h"
#include "platform/script.h"
#include "res/resource.h"
#include "tests/support/markdown_table.h"

namespace {

const std::string kGuide = std::string(VARNEL_SOURCE_DIR) + "/docs/guide.md";

TEST(Guide, ListsEveryNamedControlOfTheWindowWithItsNumberAndCaption) {
  const auto rows = MarkdownTable(kGuide, "## 5. The controls", "| control | number | on screen | what it does |");
  const DialogTemplate* window = FindDialogTemplate(IDD_VARNEL_DIALOG);
  ASSERT_NE(window, nullptr);
  std::vector<const ControlTemplate*> named;
  for (const ControlTemplate& control : window->controls)
    if (!control.name.empty()) named.push_back(&control);
  std::sort(named.begin(), named.end(), [](auto* a, auto* b) { return a->id < b->id; });
  ASSERT_EQ(rows.size(), named.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const ControlTemplate& control = *named[k];
    ASSERT_EQ(rows[k].size(), 4u) << control.name;
    EXPECT_EQ(rows[k][0], control.name);
    EXPECT_EQ(rows[k][1], std::to_string(control.id)) << control.name;
    // What a button or check box says on screen is how the guide names it.
    if (!control.caption.empty()) {
      EXPECT_NE(rows[k][2].find("\"" + std::string(control.caption) + "\""), std::string::npos) << control.name;
    }
    EXPECT_FALSE(rows[k][3].empty()) << control.name;
  }
}

TEST(Guide, ListsEveryScriptCommandAsTheParserTakesIt) {
  const auto rows = MarkdownTable(kGuide, "## 6. The script commands", "| command | what happens |");
  // The program's commands first, then the window's verbs.
  std::vector<std::string> usages;
  for (const CommandWords& command : AfxGetApp()->ProgramCommands()) usages.push_back(command.usage);
  for (const ScriptCommandInfo& verb : ScriptCommands()) usages.push_back(verb.usage);
  ASSERT_EQ(rows.size(), usages.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    ASSERT_EQ(rows[k].size(), 2u);
    EXPECT_EQ(rows[k][0], usages[k]);
    EXPECT_FALSE(rows[k][1].empty()) << usages[k];
  }
}

// Every picture the guide shows is there, made by the screenshot tool from its script.
TEST(Guide, ShowsOnlyPicturesThatExist) {
  std::ifstream guide(kGuide);
  ASSERT_TRUE(guide.is_open());
  int pictures = 0;
  for (std::string line; std::getline(guide, line);) {
    const std::size_t open = line.find("](");
    if (line.rfind("![", 0) != 0 || open == std::string::npos) continue;
    const std::string path = line.substr(open + 2, line.find(')', open) - open - 2);
    EXPECT_TRUE(std::ifstream(std::string(VARNEL_SOURCE_DIR) + "/docs/" + path).is_open()) << path;
    ++pictures;
  }
  EXPECT_GE(pictures, 5);
}

}  // namespace
