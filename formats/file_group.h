#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "formats/atomic_file.h"

namespace tessera {

/// Files that change together or not at all: each new file is written in full beside its
/// target before any target changes, and when one cannot be put in place, every file already
/// replaced or removed gets its earlier content back.
class FileGroup {
 public:
  struct Failure {
    std::string path;  // the file that could not be written, put in place or removed
    std::string why;   // "No space left on device", "a folder has this name", ...
  };

  FileGroup() = default;
  FileGroup(const FileGroup&) = delete;
  FileGroup& operator=(const FileGroup&) = delete;
  /// Files written but not committed leave nothing behind.
  ~FileGroup();

  /// A file to replace with the text written to the stream; staged at once by stage().
  std::ostream& replace(const std::string& path);
  /// A file to remove with the commit, when there is one.
  void remove(const std::string& path);

  /// Writes every new file beside its target, no target changed. Call once, before commit.
  std::optional<Failure> stage();
  /// Puts every file in place (and removes those to remove), or on failure restores every
  /// target as it was and says which file failed.
  std::optional<Failure> commit();

 private:
  struct Change {
    std::string path;
    std::unique_ptr<AtomicFile> file;  // null: remove
    std::string backup;                // the earlier file while the commit runs
    bool done = false;
  };
  void restore();

  std::vector<Change> changes_;
};

}  // namespace tessera
