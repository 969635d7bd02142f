// The script language shared by script mode, the session record and the window-shot tool: one
// command per line, '#' starts a comment, arguments separated by blanks and quoted with double
// quotes. Everything that knows a command's name, its arguments or how a control or a file is
// named in a script is here, so that what one side writes the other reads the same way.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/host.h"

class CDialog;
struct Control;

// The window's own verbs: what a person does to the controls and what a test looks at. Every
// other command of a script is the program's (ProgramCommands()), which the program carries out
// itself. In the order of ScriptCommands().
enum class ScriptCommand {
  Type,
  Paste,
  Click,
  Select,
  Files,
  Paint,
  About,
  Show,
  Expect,
  SaveMap,
  SavePanel,
  SaveWindow,
  Close
};

struct ScriptCommandInfo {
  ScriptCommand command;
  const char* name;
  std::size_t minArgs;
  std::size_t maxArgs;
  const char* usage;        // as in "usage: ..." messages and the README's table
  const char* description;  // one line, the README's words
};

// Every window verb, in the order the README lists them.
std::span<const ScriptCommandInfo> ScriptCommands();

// The words of one of the program's own commands (exposure, load, lock, fit ...): its name and
// how many words it takes, for the parser; its usage and description, for the user.
struct CommandWords {
  const char* name;
  std::size_t minArgs;
  std::size_t maxArgs;
  const char* usage;
  const char* description;
};

// The window verb of this name, if there is one.
std::optional<ScriptCommand> FindScriptCommand(const std::string& name);

struct ScriptLine {
  std::optional<ScriptCommand> command;  // a window verb; none for a program's command
  std::string name;                      // the command's name, as written
  int number = 0;                        // 1-based line number in the script
  std::vector<std::string> args;         // the words after the command
};

// Reads a script of window verbs and the `program`'s commands, leaving out blank and comment
// lines; on a line it cannot read, nothing and a message "NAME:LINE: why" in `error`.
std::optional<std::vector<ScriptLine>> ParseScript(std::istream& in, const std::string& name, std::string& error,
                                                   std::span<const CommandWords> program = {});

// The line that ParseScript reads back as `command` with `args`.
std::string FormatScriptLine(ScriptCommand command, const std::vector<std::string>& args = {});
// The line of a program's command: its name, then its words, each quoted as it needs.
std::string FormatScriptLine(const std::vector<std::string>& words);

// A number argument (a control's number, a list index): up to six digits, nothing else.
std::optional<int> ScriptNumber(const std::string& word);

// The control a CONTROL argument names: its resource name in any case, with or without the
// prefix IDC_, or its number; null when there is none.
const Control* FindScriptControl(const CDialog& dialog, const std::string& word);

// The paths of a `files` line: each pattern's matches sorted (a pattern that matches nothing
// names the file it spells, its backslash escapes taken away), made absolute against the
// working directory and lexically normal. An empty pattern names no file.
std::vector<std::string> ExpandScriptPaths(const std::vector<std::string>& patterns);

// The answer that the words of a command like `import [OPTIONS] PATH...` give the file dialog
// of a program that takes the options `optionWords` counts: those option words first and as
// they are, then the paths the other words name, as `files` gives them. A relative path is taken
// in `folder` when one is given (with its final separator: where a folder dialog opens), else in
// the working directory.
std::vector<std::string> ScriptFileAnswer(const std::vector<std::string>& words, OptionWordCount optionWords,
                                          const std::string& folder = {});

// A path as a `files` argument that expands to just that path: the pattern characters of a real
// file name are escaped (FormatScriptLine then quotes the word as the language needs).
std::string FilesArgument(const std::string& path);

// Splits one line into words; nothing (and an explanation in `error`) for an unclosed quote.
std::optional<std::vector<std::string>> SplitScriptLine(const std::string& line, std::string& error);

// A word as it must be written so that SplitScriptLine gives it back: any text at all, a line
// break too (written \n inside double quotes).
std::string QuoteScriptWord(const std::string& word);

// A `type` TEXT of more characters than this arrives as one change, as `paste` makes it: every
// keystroke hands the whole text so far to the edit's handler, so typing costs the square of
// the text's length (10,000 characters took a second, 100,000 half a minute).
inline constexpr std::size_t kMostTypedKeystrokes = 1000;
// No script line may be longer than this; a longer one is refused with its number.
inline constexpr std::size_t kMostScriptLineBytes = std::size_t{1} << 20;

// The characters of `text` (UTF-8): the keystrokes that type it.
std::size_t KeystrokeCount(const std::string& text);
// The longer and longer texts an edit holds while `text` is typed over a selection: one per
// keystroke (per character, not per byte); "" for typing nothing over it (a delete); the text
// alone past kMostTypedKeystrokes.
std::vector<std::string> KeystrokePrefixes(const std::string& text);
// Their lengths: what a long text is typed by, without holding every prefix at once.
std::vector<std::size_t> KeystrokeLengths(const std::string& text);
// Whether `after` is `before` (not empty) with one keystroke more at its end: then the two are
// consecutive texts of one `type` line.
bool IsOneKeystrokeMore(const std::string& before, const std::string& after);
