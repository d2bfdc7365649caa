#pragma once

#include <string>
#include <vector>

// Reading what a run wrote: its lines, its sequence file's archive, its text without the times.
namespace tessera::test {

/// The lines of text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

/// How often what stands in text, overlapping occurrences counted.
int occurrences(const std::string& text, const std::string& what);

/// Timing values differ between runs; everything else must not. Each value after a timing
/// marker (in UTF-8 or GBK) becomes "<time>".
std::string withoutTimes(std::string text);

/// The type sequences stored in a sequence file, in file order.
std::vector<std::string> archivedTypeSequences(const std::string& sequenceFile);

}  // namespace tessera::test
