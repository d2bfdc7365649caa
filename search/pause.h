#pragma once

#include <cstdint>
#include <functional>
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

/// What the user chose in a pause: go on or end, and the name to save the best layout under
/// (empty: nothing to save).
struct PauseChoice {
  bool keepRunning = true;
  std::string baseName;
};

/// The pause dialogue after the key that opened it: 'a' asks for a base name until one has no
/// blanks and clashOf (the file it would replace although it must not, or empty) accepts it;
/// 'b' or the end of input ends the search.
PauseChoice pauseDialogue(platform::Console& console,
                          const std::function<std::string(const std::string&)>& clashOf);

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
