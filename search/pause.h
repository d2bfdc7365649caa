#pragma once

#include <cstdint>
#include <string>

#include "model/packing_sequence.h"
#include "model/project.h"
#include "search/optimizer.h"

namespace tessera {

/// Timing the search keeps so that pauses stay out of the computing time.
struct SearchTiming {
  std::int64_t frequency = 1;
  std::int64_t startCount = 0;
  double pauseTotal = 0.0;  // seconds spent in pauses so far
};

/// The check after an iteration: a waiting key opens the pause dialogue, in which the user
/// saves the best layout so far ('a') or ends the search ('b'). Returns false to stop.
bool pauseCheck(const Project& project, SearchServices services, const SearchOptions& options,
                int iteration, const PackingSequence& best, const TypeSequenceArchive& archive,
                SearchTiming& timing);

/// Lays out best and writes its files under baseName (see LayoutSaveKind::pause). The search
/// state is not changed.
void writeInterimOutput(const Project& project, SearchServices services,
                        const SearchOptions& options, const std::string& baseName,
                        const TypeSequenceArchive& archive, int iteration,
                        const PackingSequence& best, double elapsedSeconds);

}  // namespace tessera
