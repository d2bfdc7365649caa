#pragma once

#include <functional>
#include <string>
#include <vector>

#include "formats/run_files.h"
#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/project.h"
#include "platform/console.h"

namespace tessera {

/// A file beside a layout's drawing that the program's own writers do not make (the picture,
/// the page, a mesh export), with the writer that makes it.
struct ExtraLayoutFile {
  std::string suffix;     // after the name a pause was given: ".png"
  std::string finalName;  // at the end of the run; empty: not written there
  bool asked = false;     // named by the user (an export): at the end, a failure ends the run
  std::function<void(const Project&, const Layout&, const std::string& path)> write;
};

/// The occasions a layout's files are written on.
enum class LayoutSaveKind {
  final,     // the final report and the drawing, then the extras under their final names
  pause,     // under the name given: the drawing, the interim report, the sequence file (when
             // there is an archive), extras
  periodic,  // the sequence file only
};

struct LayoutSave {
  LayoutSaveKind kind = LayoutSaveKind::final;
  const Layout* layout = nullptr;                // final, pause
  std::string computingTimeText;                 // final
  std::string baseName;                          // pause
  int iteration = 0;                             // pause
  double elapsedSeconds = 0.0;                   // pause
  const PackingSequence* best = nullptr;         // pause, periodic
  const TypeSequenceArchive* archive = nullptr;  // pause, periodic
  std::string sequenceFileName;                  // periodic
  // final: 0, or the build of a job (from 1) whose files these are, each named as
  // buildFileName names it, its report with these further lines.
  int build = 0;
  std::vector<std::string> reportLines;
};

/// Writes a layout's files for one occasion, in the order above, and shows on the console
/// what the reports print and which parts found no place. A specified file that cannot be
/// written throws as its writer does, leaving the old file. An extra never stops the run
/// while anything is left to write: one that fails is a warning and the next one is tried;
/// only an extra the user asked for, failing at the end of the run, throws (after the rest).
void writeLayoutFiles(const Project& project, const LayoutSave& save,
                      const std::vector<ExtraLayoutFile>& extras, platform::Console& console);

/// The console line naming how many parts of the layout found no place, and of which types;
/// empty when every part has one.
std::string unplacedPartsLine(const Project& project, const Layout& layout);

}  // namespace tessera
