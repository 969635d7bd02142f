// The script language: words, quoting and the keystrokes of `type`.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/headless/headless_host.h"
#include "platform/script.h"

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
  for (const std::string word : {"plain", "", "two words", "say \"hi\"", "back\\slash", "#hash", "1->2 | [2->3]"}) {
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
  EXPECT_FALSE(HeadlessHost::Parse(in, "s.vsc", error));
  EXPECT_EQ(error, "s.vsc:4: unknown command 'frobnicate'");

  std::istringstream wrongCount("click\n");
  EXPECT_FALSE(HeadlessHost::Parse(wrongCount, "s.vsc", error));
  EXPECT_EQ(error, "s.vsc:1: usage: click CONTROL");

  std::istringstream good("paint\n  \nfiles\nfiles a.dat b.dat # two\n");
  const auto lines = HeadlessHost::Parse(good, "s.vsc", error);
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 3u);
  EXPECT_EQ((*lines)[2].number, 4);
  EXPECT_EQ((*lines)[2].words.size(), 3u);
}

}  // namespace
