// The script language shared by script mode and the session record: one command per line,
// '#' starts a comment, arguments separated by blanks and quoted with double quotes.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ScriptLine {
  int number = 0;                  // 1-based line number in the script
  std::vector<std::string> words;  // command first; empty for blank and comment lines
};

// Splits one line into words; nothing (and an explanation in `error`) for an unclosed quote.
std::optional<std::vector<std::string>> SplitScriptLine(const std::string& line, std::string& error);

// A word as it must be written so that SplitScriptLine gives it back.
std::string QuoteScriptWord(const std::string& word);

// The longer and longer texts an edit holds while `text` is typed over a selection: one per
// keystroke (per character, not per byte); "" for typing nothing over it (a delete).
std::vector<std::string> KeystrokePrefixes(const std::string& text);
