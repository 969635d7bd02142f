// The session record: every action of the user in the window, written as script lines, so that
// `varnel --script varnel-session.vsc` goes through the same analysis again without a window.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/script.h"

class SessionRecord {
 public:
  static constexpr const char* kFileName = "varnel-session.vsc";

  // `startDir` holds the record until the first load of files moves it to their folder.
  explicit SessionRecord(std::filesystem::path startDir);

  // The edit's text after one change by the user (a keystroke, a deletion, a paste).
  void Typed(const std::string& control, const std::string& text);
  void Clicked(const std::string& control);
  void Selected(const std::string& control, int index);
  // The answer of a file dialog, while the click that opened it is still being handled; nothing
  // for Cancel. A load moves the record into the folder of its first file.
  void FilesChosen(const std::optional<std::vector<std::string>>& paths);
  void AboutOpened();
  // A command of the program's, its name and its words as a script writes them: one a menu
  // entry ran, or a replayed script's line. A `load`, `import` or `idealise` moves the record as
  // a load of files does; an export writes into its folder, and the record stays.
  void Command(const std::vector<std::string>& words);
  // The window was uncovered and the program repainted it. The first one is the paint every
  // shown dialog gets; one after no other action changes nothing and is left out.
  void Painted();
  void Closed();

  const std::vector<std::string>& Lines() const { return lines_; }
  std::string Text() const;
  std::filesystem::path Path() const { return dir_ / kFileName; }

  // Rewrites the whole record at Path(), whole or not at all; nothing when that worked,
  // otherwise why not. A record that an earlier session left there is kept first, under the
  // next free name "varnel-session.N.vsc".
  std::optional<std::string> Save();

 private:
  void Add(std::string line);
  // The record goes into the folder of the first of the files the user chose.
  void FollowFiles(const std::vector<std::string>& paths);

  std::filesystem::path startDir_;
  std::filesystem::path dir_;
  std::filesystem::path written_;  // where this session's record has been written
  std::vector<std::string> lines_;
  // The text the last `type` line types, while further keystrokes may still extend it.
  std::string runControl_;
  std::string runText_;
  bool painted_ = false;
  bool actedSincePaint_ = false;
};
