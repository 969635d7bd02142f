// A folder of new files that appears whole or not at all: an import's reports, an export's set.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foldersystem.h"

// `<folder of file>/<name>`, or with "-2", "-3", ... appended to the name when that is taken.
std::string FreeFolderBeside(const std::string& file, const std::string& name);

// What writes through a pending folder.
struct FolderWriter {
  // What it is called in messages ("import"); its hidden folders are `.TARGET.WORD-PROCESS-N`
  // beside the target TARGET.
  std::string_view run;
  std::string_view word;
  std::string_view thing;   // what it writes, in messages: "report"
  std::string_view things;  // and more than one: "reports"
  // The entries it writes: these, and nothing else, it removes from its hidden folders and
  // from a target it replaces.
  bool (*writes)(const HeldFolder::Entry& entry);
  // Whether the target may hold entries already. The new folder then takes the target's place
  // in one step, the target's entries that the writer does not write go over into it, and the
  // old folder is removed with the files of the old set.
  bool replaces = false;
};

// The hidden folders that runs into the same place left when they were stopped (killed, or the
// machine went down) before they were done, whose process has ended.
struct StoppedRuns {
  std::vector<std::string> removed;  // their paths: removed with what the writer wrote there
  std::vector<std::string> kept;     // what is left of one that could not be removed whole, and where
  std::vector<std::string> restored; // a target that a stopped run had taken away, put back
};

// "removed the hidden folder of a stopped import: PATH; of a stopped import, WHAT IS LEFT", or
// "" when nothing was found.
std::string StoppedRunsText(const StoppedRuns& stopped, std::string_view run);

// Files are written into a hidden folder beside the target, which takes the target's place once
// they are all there; until then, and when that fails, the target is left as it was and the
// hidden folder goes away with this object. The folder beside which it is made is held open:
// when it is moved meanwhile, the hidden folder is removed where it went, and the target is not
// made in the folder's new place.
class PendingFolder {
 public:
  // The hidden folder for `target`, which must not exist or be an empty folder unless the
  // writer replaces; nothing, and why in `error`, when it cannot be made. Before making it,
  // clears the hidden folders of stopped runs into the same target (never one whose process
  // runs): a target that one had taken away is put back, the entries it took out of a target
  // go back into it, what it wrote is removed.
  static std::unique_ptr<PendingFolder> Create(const std::string& target, const FolderWriter& writer,
                                               std::string& error);
  ~PendingFolder();
  PendingFolder(const PendingFolder&) = delete;
  PendingFolder& operator=(const PendingFolder&) = delete;

  // Writes the new file `name`, synced; false, and why in `error`, when it cannot. Calls for
  // distinct names may run on distinct threads.
  bool Write(const std::string& name, std::string_view text, std::string& error) const;
  // Gives the folder the target's place; false, and why in `error`, when it cannot, or when the
  // folder it lies in is no longer at the path it was found at.
  bool Commit(std::string& error);
  // Removes the hidden folder and the files written, wherever the folder is now; says what is
  // left and where when something is ("" when nothing). After a Commit, nothing is removed.
  std::string Discard();

  // What Create found of stopped runs into the same target.
  const StoppedRuns& Stopped() const { return stopped_; }
  // After a Commit that replaced a target: what is left of the old folder, and where ("" when
  // nothing).
  const std::string& LeftOfOld() const { return leftOfOld_; }

 private:
  PendingFolder(std::string target, const FolderWriter& writer, std::string parentPath, HeldFolder parent,
                std::string name, HeldFolder folder)
      : target_(std::move(target)),
        writer_(writer),
        parentPath_(std::move(parentPath)),
        parent_(std::move(parent)),
        name_(std::move(name)),
        folder_(std::move(folder)) {}
  bool Replace(const std::string& targetName, std::string& error);

  std::string target_;
  FolderWriter writer_;
  std::string parentPath_;  // absolute: where the parent was found
  HeldFolder parent_;
  std::string name_;  // the hidden folder's, in the parent
  HeldFolder folder_;
  StoppedRuns stopped_;
  std::string leftOfOld_;
  bool done_ = false;  // committed or discarded
};
