#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/packing_sequence.h"
#include "model/project.h"

namespace tessera {

/// The sequence file: "Optimal IDSequenceForPack", "Packing Efficiency=" e, the n ids joined
/// by ","; then per archive entry in archive order "TypeSequenceForPack", its efficiency line
/// and its n type indices; then "#FileEnd". n is the project's sequenceLength; with n = 0 the
/// item lines are left out.
void writeSequenceFile(std::ostream& out, const Project& project,
                       const TypeSequenceArchive& archive, const PackingSequence& best);

/// Replaces fileName atomically. Throws InputError("ID_Type_SequenceForPack.txt file open
/// error!", standard error) for any file name when it cannot be written; the old file is then
/// left as it was.
void writeSequenceFile(const Project& project, const TypeSequenceArchive& archive,
                       const std::string& fileName, const PackingSequence& best);

/// What a sequence file held, and what kept it from reading cleanly.
struct SequenceFileContents {
  PackingSequence idSequence;  // from the last "Optimal IDSequenceForPack" block
  bool hasIdSequence = false;
  TypeSequenceArchive archive;  // every type sequence block that scanned, by insertSorted
  bool hasFileEnd = false;
  bool readFailed = false;  // the input broke off with a read error; problems says so too
  /// Scan failures and lines longer than the line buffer, with their line numbers, in file
  /// order. A block whose scan failed is not taken into the archive.
  std::vector<std::string> problems;
};

/// Reads line by line in a 100-character buffer until "#FileEnd" or the end of the input.
/// A line that is exactly a marker (line end LF or CR LF) starts a block: "Packing
/// Efficiency=" and a number, then n integers separated by single commas (an integer may be
/// preceded by white space, a comma may not), as scanf with "Packing Efficiency=%lf\n" and
/// "%d," ... "%d\n" reads them. Other lines are skipped; the last ID block wins.
SequenceFileContents readSequenceFile(const Project& project, std::istream& in);

/// Why the contents do not fit the loaded project, or nullopt when they do: a problem found
/// while reading, no "#FileEnd", no ID block, an item count other than n, a non-finite
/// efficiency, ids that are not a permutation of 0..n-1, type indices outside the part-type
/// list or a type sequence that is not a permutation of the project's part types.
std::optional<std::string> checkSequenceFile(const Project& project,
                                             const SequenceFileContents& contents);

}  // namespace tessera
