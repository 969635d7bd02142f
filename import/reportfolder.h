// A folder of new files that appears whole or not at all.
#pragma once

#include <memory>
#include <optional>
#include <string>

// `<folder of file>/<name>`, or with "-2", "-3", ... appended to the name when that is taken.
std::string FreeFolderBeside(const std::string& file, const std::string& name);

// Files are written into a temporary folder beside the target, which takes the target's name
// once they are all there; until then, and when that fails, the target is left as it was and
// the temporary folder goes away with this object.
class PendingFolder {
 public:
  // The temporary folder for `target`, which must not exist or be an empty folder; nothing, and
  // why in `error`, when it cannot be made.
  static std::unique_ptr<PendingFolder> Create(const std::string& target, std::string& error);
  ~PendingFolder();
  PendingFolder(const PendingFolder&) = delete;
  PendingFolder& operator=(const PendingFolder&) = delete;

  // Writes the new file `name`; false, and why in `error`, when it cannot. Calls for distinct
  // names may run on distinct threads.
  bool Write(const std::string& name, const std::string& text, std::string& error) const;
  // Gives the folder the target's name; false, and why in `error`, when it cannot.
  bool Commit(std::string& error);

 private:
  PendingFolder(std::string target, std::string temporary)
      : target_(std::move(target)), temporary_(std::move(temporary)) {}

  std::string target_;
  std::string temporary_;
  bool committed_ = false;
};
