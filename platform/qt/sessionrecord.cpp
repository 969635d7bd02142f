#include "platform/qt/sessionrecord.h"

#include "platform/outputfile.h"
#include "platform/script.h"

SessionRecord::SessionRecord(std::filesystem::path startDir) : startDir_(startDir), dir_(std::move(startDir)) {}

void SessionRecord::Add(std::string line) {
  lines_.push_back(std::move(line));
  runControl_.clear();
  runText_.clear();
  actedSincePaint_ = true;
}

void SessionRecord::Typed(const std::string& control, const std::string& text) {
  // A `type` line replays the keystrokes of its text one by one. The keystrokes seen so far go
  // into one line for as long as that line replays exactly them; any other change of the text
  // (a deletion, a paste, typing in the middle) is replayed as the one change it was, and so is
  // every keystroke past the length a `type` line replays key by key.
  if (!lines_.empty() && control == runControl_ && IsOneKeystrokeMore(runText_, text) &&
      KeystrokeCount(text) <= kMostTypedKeystrokes) {
    lines_.back() = FormatScriptLine(ScriptCommand::Type, {control, text});
    runText_ = text;
    actedSincePaint_ = true;
    return;
  }
  const bool oneKeystroke = KeystrokeCount(text) <= 1;  // "" too: typing nothing over a selection
  Add(FormatScriptLine(oneKeystroke ? ScriptCommand::Type : ScriptCommand::Paste, {control, text}));
  if (oneKeystroke) {
    runControl_ = control;
    runText_ = text;
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

void SessionRecord::Command(const std::vector<std::string>& words) {
  if (words.empty()) return;
  const std::string& name = words.front();
  // The paths of a load are all its words; an import's and an idealisation's follow their options.
  if (name == "load") FollowFiles(ExpandScriptPaths({words.begin() + 1, words.end()}));
  if ((name == "import" || name == "idealise") && words.size() > 1) FollowFiles(ExpandScriptPaths({words.back()}));
  Add(FormatScriptLine(words));
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

namespace {

// Moves the file at `path` to the first free "varnel-session.N.vsc" beside it. A hard link
// takes the new name only if it is free, so no other file is ever replaced.
std::optional<std::string> KeepEarlierRecord(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return std::nullopt;
  for (int n = 1;; ++n) {
    const auto kept = path.parent_path() / ("varnel-session." + std::to_string(n) + ".vsc");
    std::filesystem::create_hard_link(path, kept, error);
    if (!error) break;
    if (error != std::errc::file_exists) return "the record of an earlier session cannot be kept: " + error.message();
  }
  std::filesystem::remove(path, error);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> SessionRecord::Save() {
  const std::filesystem::path path = Path();
  if (path != written_)
    if (auto failure = KeepEarlierRecord(path)) return failure;
  if (auto failure = WriteWholeFile(path.string(), Text())) return failure;
  written_ = path;
  return std::nullopt;
}
