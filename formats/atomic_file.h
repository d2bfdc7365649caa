#pragma once

#include <sstream>
#include <string>

namespace tessera {

/// Replaces a file all at once. The text is collected in memory; commit() writes it to a
/// temporary file in the target's folder, flushes it to the disk, closes it and renames it
/// over the target. A crash, a full disk or any write error therefore leaves either the old
/// file or the complete new one, never a partial file. Without a successful commit the
/// target is untouched and no temporary file remains.
///
/// Where no new file may be created in the folder but the target exists and may be written
/// (its owner is not the folder's), commit() writes the target in place instead, so that
/// the output is still written; a failure midway then leaves it partial. checkReplacement()
/// tells beforehand which way a file would go.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  /// A temporary file staged but never committed is removed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  /// Where the new content is written (in memory until commit).
  std::ostream& stream() { return buffer_; }

  /// The first half of commit: writes the temporary file and flushes it to the disk, target
  /// untouched, so that several files can all be written before any is replaced. False on
  /// any failure, with nothing left behind. Call at most once, before commit.
  bool stage();

  /// Writes (unless staged) and renames into place, or writes in place where no temporary
  /// file may be created (see above; never after stage()). False on any failure: the
  /// temporary file is removed and the old file, if any, is left as it was unless it was
  /// being written in place. Call at most once.
  bool commit();

  /// Whether commit() wrote the target in place.
  bool wroteInPlace() const { return wroteInPlace_; }

  /// Why the commit failed ("No space left on device", ...); empty after a success.
  const std::string& failure() const { return failure_; }

 private:
  /// stage(), or with inPlaceAllowed the whole commit in place where that is the way.
  bool stageOrWriteInPlace(bool inPlaceAllowed);

  std::string path_;
  std::ostringstream buffer_;
  bool committed_ = false;
  bool stageCalled_ = false;
  std::string temporary_;  // staged and not yet renamed
  std::string failure_;
  bool wroteInPlace_ = false;
};

/// How an AtomicFile commit would replace a file.
struct ReplacementCheck {
  bool possible = true;
  bool inPlace = false;  // no temporary file may be created beside it: written in place
  std::string reason;    // why it is not possible, or why no temporary file may be created
};

/// Tries the creation of the temporary file (and, where that is not permitted, opens the
/// existing file for writing), leaving nothing behind and nothing changed.
ReplacementCheck checkReplacement(const std::string& path);

/// Why path could not be replaced by an AtomicFile, or an empty string when it can: a folder
/// (or anything else that is no file) under the name, or a folder where the temporary file
/// cannot be created and no file under the name that could be written in place.
std::string whyNotReplaceable(const std::string& path);

/// Why the existing file path could not be opened for appending, or an empty string when it
/// can. Changes nothing.
std::string whyNotAppendable(const std::string& path);

}  // namespace tessera
