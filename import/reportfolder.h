// A folder of new files that appears whole or not at all.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/foldersystem.h"

// `<folder of file>/<name>`, or with "-2", "-3", ... appended to the name when that is taken.
std::string FreeFolderBeside(const std::string& file, const std::string& name);

// The hidden folders that imports into the same place left when they were stopped (killed, or
// the machine went down) before they were done: `.NAME.partial-PROCESS-N` beside the target
// NAME, whose process has ended.
struct StoppedImports {
  std::vector<std::string> removed;  // their paths: removed with their reports
  std::vector<std::string> kept;     // what is left of one that could not be removed whole, and where
};

// Files are written into a hidden folder beside the target, which takes the target's name once
// they are all there; until then, and when that fails, the target is left as it was and the
// hidden folder goes away with this object. The folder beside which it is made is held open:
// when it is moved meanwhile, the hidden folder is removed where it went, and the target is not
// made in the folder's new place.
class PendingFolder {
 public:
  // The hidden folder for `target`, which must not exist or be an empty folder; nothing, and
  // why in `error`, when it cannot be made. Before making it, removes the hidden folders of
  // stopped imports into the same target (never one whose process runs).
  static std::unique_ptr<PendingFolder> Create(const std::string& target, std::string& error);
  ~PendingFolder();
  PendingFolder(const PendingFolder&) = delete;
  PendingFolder& operator=(const PendingFolder&) = delete;

  // Writes the new file `name` (a report: NAME.dat); false, and why in `error`, when it cannot.
  // Calls for distinct names may run on distinct threads.
  bool Write(const std::string& name, const std::string& text, std::string& error) const;
  // Gives the folder the target's name; false, and why in `error`, when it cannot, or when the
  // folder it lies in is no longer at the path it was found at.
  bool Commit(std::string& error);
  // Removes the hidden folder and the reports written, wherever the folder is now; says what is
  // left and where when something is ("" when nothing). After a Commit, nothing is removed.
  std::string Discard();

  // What Create found of stopped imports into the same target.
  const StoppedImports& Stopped() const { return stopped_; }

 private:
  PendingFolder(std::string target, std::string parentPath, HeldFolder parent, std::string name, HeldFolder folder)
      : target_(std::move(target)),
        parentPath_(std::move(parentPath)),
        parent_(std::move(parent)),
        name_(std::move(name)),
        folder_(std::move(folder)) {}

  std::string target_;
  std::string parentPath_;  // absolute: where the parent was found
  HeldFolder parent_;
  std::string name_;  // the hidden folder's, in the parent
  HeldFolder folder_;
  StoppedImports stopped_;
  bool done_ = false;  // committed or discarded
};
