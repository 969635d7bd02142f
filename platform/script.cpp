#include "platform/script.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <istream>

#include "platform/dialog.h"
#include "platform/system.h"

namespace {

using C = ScriptCommand;

constexpr std::array<ScriptCommandInfo, 13> kCommands = {{
    {C::Type, "type", 2, 2, "type CONTROL TEXT",
     "the edit's text is replaced as if TEXT were typed after selecting all: after each keystroke the text is the "
     "next longer prefix of TEXT and `EN_CHANGE` is sent"},
    {C::Paste, "paste", 2, 2, "paste CONTROL TEXT",
     "the edit's text becomes TEXT in one change, as a paste or a deletion makes it; `EN_CHANGE` is sent once"},
    {C::Click, "click", 1, 1, "click CONTROL", "a button click; a check box toggles, then notifies"},
    {C::Select, "select", 2, 2, "select CONTROL INDEX",
     "the user picks list entry INDEX (0-based) of a combo box; `CBN_SELCHANGE` is sent"},
    {C::Files, "files", 0, SIZE_MAX, "files [PATH...]",
     "the next file dialog returns these files (globs expanded, sorted; relative paths resolved against the "
     "script's working directory); `files` alone makes the next file dialog return Cancel"},
    {C::Paint, "paint", 0, 0, "paint", "the window is uncovered: a paint message"},
    {C::About, "about", 0, 0, "about", "the About entry of the system menu (the box opens and closes)"},
    {C::Show, "show", 1, 1, "show CONTROL",
     "prints `NAME: text` (check box: 0 or 1; combo box: its entries, the selected one marked)"},
    {C::Expect, "expect", 2, 2, "expect CONTROL TEXT",
     "stops the script with exit status 3 and a message if the control's text differs"},
    {C::SaveMap, "save-map", 1, 1, "save-map FILE.png",
     "writes the 402 x 402 map region of the client surface as on screen"},
    {C::SavePanel, "save-panel", 1, 1, "save-panel FILE.png", "writes the 400 x 200 histogram panel bitmap"},
    {C::SaveWindow, "save-window", 1, 1, "save-window FILE.png",
     "writes the whole client surface (and, in the window, the real window)"},
    {C::Close, "close", 0, 0, "close", "closes the dialog (the end of the script does the same)"},
}};

// Row k describes command k: the table can be indexed by the enum.
constexpr bool InEnumOrder() {
  for (std::size_t k = 0; k < kCommands.size(); ++k)
    if (static_cast<std::size_t>(kCommands[k].command) != k) return false;
  return static_cast<std::size_t>(C::Close) + 1 == kCommands.size();
}
static_assert(InEnumOrder());

const ScriptCommandInfo* FindCommand(const std::string& name) {
  const auto found =
      std::find_if(kCommands.begin(), kCommands.end(), [&](const ScriptCommandInfo& c) { return name == c.name; });
  return found == kCommands.end() ? nullptr : &*found;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// `pattern` with every backslash escape replaced by the character it escapes.
std::string Unescaped(const std::string& pattern) {
  std::string name;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '\\' && i + 1 < pattern.size()) ++i;
    name += pattern[i];
  }
  return name;
}


}  // namespace

std::span<const ScriptCommandInfo> ScriptCommands() { return kCommands; }

std::optional<ScriptCommand> FindScriptCommand(const std::string& name) {
  const ScriptCommandInfo* command = FindCommand(name);
  return command ? std::optional(command->command) : std::nullopt;
}

namespace {

// Reads the next line of `in` into `text`, without its '\n', keeping at most `most` + 1 bytes of
// it (more tell that it is too long); false at the end of the input.
bool ReadLine(std::istream& in, std::string& text, std::size_t most) {
  text.clear();
  std::streambuf& buffer = *in.rdbuf();
  bool any = false;
  for (int c = buffer.sbumpc(); c != std::char_traits<char>::eof(); c = buffer.sbumpc()) {
    any = true;
    if (c == '\n') return true;
    if (text.size() <= most) text += static_cast<char>(c);
  }
  return any;
}

// The byte-order mark an editor may put before UTF-8 text.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::optional<std::vector<ScriptLine>> ParseScript(std::istream& in, const std::string& name, std::string& error,
                                                   std::span<const CommandWords> program) {
  std::vector<ScriptLine> lines;
  std::string text;
  for (int number = 1; ReadLine(in, text, kMostScriptLineBytes); ++number) {
    const auto fail = [&](const std::string& message) {
      error = name + ":" + std::to_string(number) + ": " + message;
      return std::nullopt;
    };
    if (text.size() > kMostScriptLineBytes) return fail("the line is longer than 1 MiB (1,048,576 bytes)");
    if (number == 1 && text.starts_with(kByteOrderMark)) text.erase(0, kByteOrderMark.size());
    std::string why;
    auto words = SplitScriptLine(text, why);
    if (!words) return fail(why);
    if (words->empty()) continue;
    const std::string& first = words->front();
    const ScriptCommandInfo* verb = FindCommand(first);
    const auto own = std::find_if(program.begin(), program.end(), [&](const CommandWords& c) { return first == c.name; });
    if (!verb && own == program.end()) return fail("unknown command '" + first + "'");
    const std::size_t least = verb ? verb->minArgs : own->minArgs, most = verb ? verb->maxArgs : own->maxArgs;
    const std::size_t args = words->size() - 1;
    if (args < least || args > most) return fail(std::string("usage: ") + (verb ? verb->usage : own->usage));
    ScriptLine line{verb ? std::optional(verb->command) : std::nullopt, first, number, {}};
    words->erase(words->begin());
    line.args = std::move(*words);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string FormatScriptLine(ScriptCommand command, const std::vector<std::string>& args) {
  std::string line = kCommands[static_cast<std::size_t>(command)].name;
  for (const std::string& arg : args) {
    line += ' ';
    line += QuoteScriptWord(arg);
  }
  return line;
}

std::string FormatScriptLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + QuoteScriptWord(word);
  return line;
}

std::optional<int> ScriptNumber(const std::string& word) {
  if (!AllDigits(word) || word.size() > 6) return std::nullopt;
  return std::stoi(word);
}

const Control* FindScriptControl(const CDialog& dialog, const std::string& word) {
  // A word of digits is a number, never a name; one too long to be a control's is none.
  if (AllDigits(word)) {
    const auto id = ScriptNumber(word);
    return id ? dialog.FindControl(*id) : nullptr;
  }
  const std::string wanted = Upper(word);
  for (const Control& c : dialog.Controls()) {
    const std::string name = Upper(std::string(c.tmpl->name));
    if (!name.empty() && (name == wanted || name == "IDC_" + wanted)) return &c;
  }
  return nullptr;
}

std::vector<std::string> ExpandScriptPaths(const std::vector<std::string>& patterns) {
  std::vector<std::string> paths;
  for (const std::string& pattern : patterns) {
    if (pattern.empty()) continue;  // names no file (and has no absolute form)
    std::vector<std::string> found = MatchPattern(pattern);
    // A pattern that matches nothing names the one file it spells, its escapes taken away.
    if (found.empty()) found.push_back(Unescaped(pattern));
    std::sort(found.begin(), found.end());
    for (const std::string& p : found) paths.push_back(std::filesystem::absolute(p).lexically_normal().string());
  }
  return paths;
}

std::vector<std::string> ScriptFileAnswer(const std::vector<std::string>& words, OptionWordCount optionWords,
                                          const std::string& folder) {
  std::vector<std::string> answer, patterns;
  for (std::size_t k = 0; k < words.size();) {
    const std::size_t option = optionWords ? optionWords(words[k]) : 0;
    if (option == 0) {
      const std::string& word = words[k++];
      const bool relative = !word.empty() && std::filesystem::path(word).is_relative();
      patterns.push_back(relative && !folder.empty() ? FilesArgument(folder) + word : word);
      continue;
    }
    const std::size_t end = std::min(words.size(), k + option);
    while (k < end) answer.push_back(words[k++]);
  }
  for (std::string& path : ExpandScriptPaths(patterns)) answer.push_back(std::move(path));
  return answer;
}

std::string FilesArgument(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '*' || c == '?' || c == '[' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::optional<std::vector<std::string>> SplitScriptLine(const std::string& line, std::string& error) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      std::string word;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (line[i] == '\\' && (next == '"' || next == '\\' || next == 'n' || next == 'r')) {
          word += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
          i += 2;
        } else if (line[i] == '\\' && !(next == '*' || next == '?' || next == '[' || next == ']')) {
          // A pattern's own escapes stay for the pattern; any other would be a typing slip
          // taken for a backslash.
          error = std::string("unknown escape '\\") + (next ? std::string(1, next) : std::string()) +
                  "' in quotes (a backslash is written \\\\)";
          return std::nullopt;
        } else if (line[i] == '"') {
          closed = true;
          ++i;
          break;
        } else {
          word += line[i++];
        }
      }
      if (!closed) {
        error = "unclosed quote";
        return std::nullopt;
      }
      words.push_back(std::move(word));
    } else {
      std::string word;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
      words.push_back(std::move(word));
    }
  }
  return words;
}

std::string QuoteScriptWord(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_of(" \t\r\n\"#\\") == std::string::npos;
  if (plain) return word;
  std::string out = "\"";
  for (char c : word) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\r') {
      out += "\\r";
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

namespace {

// Whether byte `at` of `text` continues a character begun before it (UTF-8).
bool ContinuesCharacter(const std::string& text, std::size_t at) {
  return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

}  // namespace

std::size_t KeystrokeCount(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) count += !ContinuesCharacter(text, i);
  return count;
}

std::vector<std::size_t> KeystrokeLengths(const std::string& text) {
  if (text.empty()) return {0};
  if (KeystrokeCount(text) > kMostTypedKeystrokes) return {text.size()};
  std::vector<std::size_t> lengths;
  for (std::size_t i = 1; i <= text.size(); ++i)
    if (!ContinuesCharacter(text, i)) lengths.push_back(i);
  return lengths;
}

bool IsOneKeystrokeMore(const std::string& before, const std::string& after) {
  return !before.empty() && after.size() > before.size() && after.compare(0, before.size(), before) == 0 &&
         !ContinuesCharacter(after, before.size()) &&
         KeystrokeCount(after.substr(before.size())) == 1;
}

std::vector<std::string> KeystrokePrefixes(const std::string& text) {
  std::vector<std::string> prefixes;
  for (std::size_t length : KeystrokeLengths(text)) prefixes.push_back(text.substr(0, length));
  return prefixes;
}
