#pragma once

#include <sstream>
#include <string>

namespace tessera {

/// Replaces a file all at once. The text is collected in memory; commit() writes it to a
/// temporary file in the target's folder, flushes it to the disk, closes it and renames it
/// over the target. A crash, a full disk or any write error therefore leaves either the old
/// file or the complete new one, never a partial file. Without a successful commit the
/// target is untouched and no temporary file remains.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);

  /// Where the new content is written (in memory until commit).
  std::ostream& stream() { return buffer_; }

  /// Writes and renames into place. False on any failure: the temporary file is removed and
  /// the old file, if any, is left as it was. Call at most once.
  bool commit();

 private:
  std::string path_;
  std::ostringstream buffer_;
  bool committed_ = false;
};

}  // namespace tessera
