// The script language: words, quoting, the keystrokes of `type`, lines, control names, file
// patterns, and the command table against the README's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/script.h"
#include "platform/winapp.h"
#include "res/resource.h"
#include "tests/support/markdown_table.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_host.h"

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::string error;
  auto words = SplitScriptLine(line, error);
  EXPECT_TRUE(words) << error;
  return words ? *words : std::vector<std::string>{};
}

TEST(ScriptWords, BlanksSeparateQuotesGroupHashComments) {
  EXPECT_EQ(Split("type  IDC_STATE_COUNT\t3 # three states"),
            (std::vector<std::string>{"type", "IDC_STATE_COUNT", "3"}));
  EXPECT_EQ(Split("files \"/data/my reports/a.dat\" b.dat"),
            (std::vector<std::string>{"files", "/data/my reports/a.dat", "b.dat"}));
  EXPECT_EQ(Split("type x \"\""), (std::vector<std::string>{"type", "x", ""}));
  EXPECT_EQ(Split("expect x \"a # b\""), (std::vector<std::string>{"expect", "x", "a # b"}));
  EXPECT_TRUE(Split("   # only a comment").empty());
  std::string error;
  EXPECT_FALSE(SplitScriptLine("type x \"open", error));
}

TEST(ScriptWords, QuotingRoundTrips) {
  for (const std::string word : {"plain", "", "two words", "say \"hi\"", "back\\slash", "#hash", "1->2 | [2->3]",
                                 "a line\nbreak", "carriage\rreturn", "\\n stays"}) {
    const auto words = Split("show " + QuoteScriptWord(word));
    ASSERT_EQ(words.size(), 2u) << word;
    EXPECT_EQ(words[1], word);
  }
  EXPECT_EQ(QuoteScriptWord("IDC_LOAD_FILES"), "IDC_LOAD_FILES");
}

TEST(ScriptWords, TypingGivesOnePrefixPerCharacter) {
  EXPECT_EQ(KeystrokePrefixes("10"), (std::vector<std::string>{"1", "10"}));
  EXPECT_EQ(KeystrokePrefixes(""), (std::vector<std::string>{""}));
  EXPECT_EQ(KeystrokePrefixes("a\xC3\xA9z"), (std::vector<std::string>{"a", "a\xC3\xA9", "a\xC3\xA9z"}));
}

TEST(ScriptParse, NamesTheLineOfABadCommand) {
  std::istringstream in("paint\n\n# note\nfrobnicate 3\n");
  std::string error;
  EXPECT_FALSE(ParseScript(in, "s.vsc", error, AfxGetApp()->ProgramCommands()));
  EXPECT_EQ(error, "s.vsc:4: unknown command 'frobnicate'");

  std::istringstream wrongCount("click\n");
  EXPECT_FALSE(ParseScript(wrongCount, "s.vsc", error, AfxGetApp()->ProgramCommands()));
  EXPECT_EQ(error, "s.vsc:1: usage: click CONTROL");

  std::istringstream unclosed("paint\nexpect x \"open\n");
  EXPECT_FALSE(ParseScript(unclosed, "s.vsc", error, AfxGetApp()->ProgramCommands()));
  EXPECT_EQ(error, "s.vsc:2: unclosed quote");

  std::istringstream good("paint\n  \nfiles\nsave-map \"a b.png\" # two\n");
  const auto lines = ParseScript(good, "s.vsc", error, AfxGetApp()->ProgramCommands());
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 3u);
  EXPECT_EQ((*lines)[1].command, ScriptCommand::Files);
  EXPECT_TRUE((*lines)[1].args.empty());
  EXPECT_EQ((*lines)[2].command, ScriptCommand::SaveMap);
  EXPECT_EQ((*lines)[2].number, 4);
  EXPECT_EQ((*lines)[2].args, std::vector<std::string>{"a b.png"});
}

// What an editor or a slip of the hand puts into a script: a byte-order mark is no part of the
// first command, an unknown escape in quotes and a line past 1 MiB are refused with their line,
// and a long `type` arrives as one change instead of a million.
TEST(ScriptParse, TakesAByteOrderMarkAndRefusesUnknownEscapesAndEndlessLines) {
  std::string error;
  std::istringstream marked("\xEF\xBB\xBFpaint\nshow \"\xEF\xBB\xBF\"\n");
  const auto lines = ParseScript(marked, "s.vsc", error, AfxGetApp()->ProgramCommands());
  ASSERT_TRUE(lines) << error;
  EXPECT_EQ((*lines)[0].command, ScriptCommand::Paint);
  EXPECT_EQ((*lines)[1].args, std::vector<std::string>{"\xEF\xBB\xBF"});  // only the first line's is a mark

  std::istringstream slip("paint\nfiles \"C:\\data\\x.dat\"\n");
  EXPECT_FALSE(ParseScript(slip, "s.vsc", error, AfxGetApp()->ProgramCommands()));
  EXPECT_EQ(error, "s.vsc:2: unknown escape '\\d' in quotes (a backslash is written \\\\)");
  EXPECT_EQ(Split("files \"run\\*1.dat\" \"a\\[1\\].dat\""),
            (std::vector<std::string>{"files", "run\\*1.dat", "a\\[1\\].dat"}));  // a pattern's escapes stay

  std::istringstream endless("paint\ntype IDC_STATE_COUNT " + std::string(kMostScriptLineBytes, '7') + "\npaint\n");
  EXPECT_FALSE(ParseScript(endless, "s.vsc", error, AfxGetApp()->ProgramCommands()));
  EXPECT_EQ(error, "s.vsc:2: the line is longer than 1 MiB (1,048,576 bytes)");
  std::istringstream longest("type IDC_STATE_COUNT " + std::string(kMostScriptLineBytes - 21, '7'));
  EXPECT_TRUE(ParseScript(longest, "s.vsc", error, AfxGetApp()->ProgramCommands())) << error;

  EXPECT_EQ(KeystrokeLengths(std::string(kMostTypedKeystrokes, 'x')).size(), kMostTypedKeystrokes);
  EXPECT_EQ(KeystrokeLengths(std::string(kMostTypedKeystrokes + 1, 'x')),
            std::vector<std::size_t>{kMostTypedKeystrokes + 1});
  std::string accents;
  for (std::size_t k = 0; k < kMostTypedKeystrokes; ++k) accents += "\xC3\xA9";  // 2,000 bytes, 1,000 keystrokes
  EXPECT_EQ(KeystrokeLengths(accents).size(), kMostTypedKeystrokes);
}

TEST(ScriptParse, FormattedLinesReadBack) {
  EXPECT_EQ(FormatScriptLine(ScriptCommand::Type, {"IDC_EXPOSURE_TIME", ""}), "type IDC_EXPOSURE_TIME \"\"");
  EXPECT_EQ(FormatScriptLine(ScriptCommand::SaveWindow, {"w.png"}), "save-window w.png");
  for (const auto& info : ScriptCommands()) {
    const std::vector<std::string> args(info.minArgs, "say \"#1\" \\ ");
    std::istringstream in(FormatScriptLine(info.command, args));
    std::string error;
    const auto lines = ParseScript(in, "f.vsc", error, AfxGetApp()->ProgramCommands());
    ASSERT_TRUE(lines) << error;
    ASSERT_EQ(lines->size(), 1u);
    EXPECT_EQ((*lines)[0].command, info.command);
    EXPECT_EQ((*lines)[0].args, args);
  }
  for (const CommandWords& own : AfxGetApp()->ProgramCommands()) {
    std::vector<std::string> words(own.minArgs + 1, "say \"#1\" \\ ");
    words[0] = own.name;
    std::istringstream in(FormatScriptLine(words));
    std::string error;
    const auto lines = ParseScript(in, "f.vsc", error, AfxGetApp()->ProgramCommands());
    ASSERT_TRUE(lines) << error;
    ASSERT_EQ(lines->size(), 1u);
    EXPECT_FALSE((*lines)[0].command);
    EXPECT_EQ((*lines)[0].name, own.name);
    EXPECT_EQ((*lines)[0].args, std::vector<std::string>(words.begin() + 1, words.end()));
  }
}

TEST(ScriptPaths, PatternsExpandSortedAndAbsoluteAndRealNamesStayThemselves) {
  TempDir dir;
  for (const char* name : {"b.dat", "a.dat", "cX1Y.dat"}) dir.Write(name, "");
  const std::filesystem::path here = std::filesystem::current_path();
  EXPECT_EQ(
      ExpandScriptPaths({"?.dat", "gone/../none.dat"}),
      (std::vector<std::string>{(here / "a.dat").string(), (here / "b.dat").string(), (here / "none.dat").string()}));
  EXPECT_TRUE(ExpandScriptPaths({""}).empty());
#ifndef _WIN32
  // The recorded name of a file with pattern characters loads that file, not its look-alikes.
  // (Windows names cannot hold them.)
  dir.Write("c*[1]?.dat", "");
  const std::string odd = (here / "c*[1]?.dat").string();
  EXPECT_EQ(ExpandScriptPaths({FilesArgument(odd)}), std::vector<std::string>{odd});
  EXPECT_EQ(ExpandScriptPaths({"c*.dat"}).size(), 2u);
#endif
}

// A folder dialog opens in the folder of the loaded reports: a script's relative folder lies
// there, an absolute one where it says; option words pass as they are.
TEST(ScriptPaths, AFolderAnswerTakesRelativePathsInTheDialogsFolder) {
  TempDir dir;
  const std::filesystem::path here = std::filesystem::current_path();
  const std::string reports = (here / "reports" / "").string();
  // A script writes '/' (a backslash escapes a pattern character); the answer is in the system's form.
  const std::string elsewhere = (here / "elsewhere").generic_string();
  const auto words = [](std::string_view word) -> std::size_t { return word == "--format" ? 2 : 0; };
  EXPECT_EQ(ScriptFileAnswer({"figs", "--format", "svg", elsewhere}, words, reports),
            (std::vector<std::string>{"--format", "svg", (here / "reports" / "figs").string(),
                                      (here / "elsewhere").string()}));
  EXPECT_EQ(ScriptFileAnswer({"figs"}, words), std::vector<std::string>{(here / "figs").string()});
#ifndef _WIN32
  // The folder's own name is no pattern, whatever characters it holds.
  const std::string odd = (here / "rep[1]*" / "").string();
  EXPECT_EQ(ScriptFileAnswer({"figs"}, words, odd), std::vector<std::string>{odd + "figs"});
#endif
}

// The README's tables of commands are the user's reference: they must list what the parser takes,
// the program's commands and then the window's verbs.
TEST(ScriptCommands, AreTheReadmesTables) {
  const std::string readme = std::string(VARNEL_SOURCE_DIR) + "/README.md";
  const auto expectTable = [&](const char* header, auto commands) {
    const auto rows = MarkdownTable(readme, "## Script mode", header);
    ASSERT_EQ(rows.size(), commands.size()) << header;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const std::string name = commands[k].name;
      ASSERT_EQ(rows[k].size(), 2u) << name;
      EXPECT_EQ(rows[k][0], commands[k].usage);
      EXPECT_EQ(rows[k][0].substr(0, rows[k][0].find(' ')), name);
      EXPECT_EQ(rows[k][1], commands[k].description) << name;
    }
  };
  expectTable("| command | what it does |", AfxGetApp()->ProgramCommands());
  expectTable("| command | what happens |", ScriptCommands());
}

}  // namespace
