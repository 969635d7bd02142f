#include "platform/qt/sessionrecord.h"

#include <fstream>

#include "platform/script.h"

SessionRecord::SessionRecord(std::filesystem::path startDir) : startDir_(startDir), dir_(std::move(startDir)) {}

void SessionRecord::Add(std::string line) {
  lines_.push_back(std::move(line));
  runControl_.clear();
  runTexts_.clear();
  actedSincePaint_ = true;
}

void SessionRecord::Typed(const std::string& control, const std::string& text) {
  // A `type` line replays the keystrokes of its text one by one. The keystrokes seen so far go
  // into one line for as long as that line replays exactly them; any other change of the text
  // (a deletion, a paste, typing in the middle) is replayed as the one change it was.
  if (!lines_.empty() && control == runControl_) {
    std::vector<std::string> extended = runTexts_;
    extended.push_back(text);
    if (KeystrokePrefixes(text) == extended) {
      lines_.back() = FormatScriptLine(ScriptCommand::Type, {control, text});
      runTexts_ = std::move(extended);
      actedSincePaint_ = true;
      return;
    }
  }
  const bool oneKeystroke = KeystrokePrefixes(text) == std::vector<std::string>{text};
  Add(FormatScriptLine(oneKeystroke ? ScriptCommand::Type : ScriptCommand::Paste, {control, text}));
  if (oneKeystroke) {
    runControl_ = control;
    runTexts_ = {text};
  }
}

void SessionRecord::Clicked(const std::string& control) { Add(FormatScriptLine(ScriptCommand::Click, {control})); }

void SessionRecord::Selected(const std::string& control, int index) {
  Add(FormatScriptLine(ScriptCommand::Select, {control, std::to_string(index)}));
}

void SessionRecord::FollowFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  dir_ = std::filesystem::absolute(paths.front()).lexically_normal().parent_path();
}

void SessionRecord::FilesChosen(const std::optional<std::vector<std::string>>& paths) {
  std::vector<std::string> args;
  if (paths) {
    for (const std::string& path : *paths) args.push_back(FilesArgument(path));
    FollowFiles(*paths);
  }
  Add(FormatScriptLine(ScriptCommand::Files, args));
}

void SessionRecord::MenuCommand(const std::string& name, const std::vector<std::string>& paths) {
  const auto command = FindScriptCommand(name);
  if (!command) return;
  std::vector<std::string> args;
  for (const std::string& path : paths) args.push_back(FilesArgument(path));
  FollowFiles(paths);
  Add(FormatScriptLine(*command, args));
}

void SessionRecord::AboutOpened() { Add(FormatScriptLine(ScriptCommand::About)); }

void SessionRecord::Painted() {
  if (!painted_) {
    painted_ = true;
    actedSincePaint_ = false;
    return;
  }
  if (!actedSincePaint_) return;
  Add(FormatScriptLine(ScriptCommand::Paint));
  actedSincePaint_ = false;
}

void SessionRecord::Closed() { Add(FormatScriptLine(ScriptCommand::Close)); }

std::string SessionRecord::Text() const {
  std::string text = "# Varnel session record. Replay it with: varnel --script " + std::string(kFileName) + "\n";
  // Before the first load the program reads and writes in its working directory.
  text += "# working directory: " + startDir_.string() + "\n";
  for (const std::string& line : lines_) text += line + "\n";
  return text;
}

bool SessionRecord::Save() const {
  std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
  out << Text();
  out.close();
  return static_cast<bool>(out);
}
