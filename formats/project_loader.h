// formats: the program's own files (polyhedron, project and sequence files, reports, DXF drawing),
// line reading and atomic replacement. Readers take a number as the format reads it and pass over
// what follows it; what has no reading, or a reading that would give a wrong value, is refused.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "model/project.h"

namespace tessera {

/// Most parts a project may ask for in all; more would exhaust memory long before packing.
inline constexpr long kMaxProjectParts = 1000000;

/// One part-type block of a project file.
struct ProjectBlock {
  std::string partPath;
  long copyCount = 0;  // as written; 0 or less lists the type without parts
  int pathLine = 0;    // 1-based lines of the part file path and the copy count
  int countLine = 0;
  TurnRule turns;       // from an optional "Turns" line and the rule under it
  bool filler = false;  // from an optional "Filler" line
  int ruleLine = 0;     // 1-based line of the rule or of "Filler", the later; 0 without either
};

/// The optional lines of a part block, between its copy count and its closing line: "Turns"
/// with the rule on the next line (turnRuleText; its first word, a note after it is passed
/// over) and "Filler", in either order, each with blanks around it allowed. A file without them
/// reads as before: the line after the count closes the block, whatever it holds.
inline constexpr const char* kTurnsLine = "Turns";
inline constexpr const char* kFillerLine = "Filler";

/// The text of a project file, parsed but not yet loaded.
struct ProjectFile {
  double PBSL = 0.0;
  int RN = 0;
  std::string containerPath;
  std::vector<ProjectBlock> blocks;  // in file order
};

/// Parses project file text up to its "#EndFile" line. Paths are the path lines without
/// their first and last characters. Numbers are read by NumberCursor, text after a line's
/// number ignored: PBSL and RN decimals (RN then truncated toward zero), the copy counts
/// integers. Throws InputError naming path and line for a missing "#EndFile", an overlong
/// line, a path line without quotes, a number missing or misread (NumberCursor), PBSL not
/// positive and finite, RN below 1 or too large for the orientation table, and more than
/// kMaxProjectParts parts in all, an unknown turn rule, and one that leaves no orientation of RN
/// (the "Turns" and "Filler" lines: see kTurnsLine). Appends to warnings (when given) one for each
/// copy count below 0 and one for lines that hold more numbers than they are read for.
ProjectFile parseProjectFile(std::istream& in, const std::string& path,
                             std::vector<std::string>* warnings = nullptr);

/// Loads the project at projectPath and brings the parts into their starting state (see
/// Project): sorted by non-increasing volume, parked on the container's box maximum, numbered
/// 0..n-1 from the front. Part paths are used as written (relative to the working
/// directory); the orientation table is left to buildOrientations. Throws InputError
/// (文件"<path>"读取失败! for a file that cannot be opened), project left unchanged, also for a
/// polyhedron that is not a solid (no faces, or none enclosing a volume), a container without
/// extent on some axis, two part files with one name line but different solids or different
/// turn rules or filler marks, and, before any
/// copy is made, copies that would take more memory than the process has available. Returns
/// warnings for the console: those of the readers, and a part whose declared volume is far from the
/// one its faces enclose.
std::vector<std::string> loadProject(Project& project, const std::string& projectPath);

}  // namespace tessera
