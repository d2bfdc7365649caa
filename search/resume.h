#pragma once

#include <string>

#include "model/packing_sequence.h"
#include "model/project.h"
#include "placement/placement_rule.h"
#include "platform/console.h"
#include "search/optimizer.h"

// Where a search starts: the sequence file of an earlier run, when it fits the project.
namespace tessera {

/// The starting solution from the sequence file when it fits the project; otherwise the
/// file is kept under a backup name and the search starts afresh. Returns whether it was used.
bool resumeFromSequenceFile(const Project& project, platform::Console& console,
                            const std::string& fileName, PackingSequence& current,
                            TypeSequenceArchive& archive);

/// A resumed best is laid out once: when its efficiency is no longer the recorded one (the
/// project or the file changed), a stale record would never be beaten. The evaluated value
/// replaces it, the archive (recorded the same way) starts afresh from it, and the file is
/// kept under a backup name. Records agree to the six digits the file holds. Returns the
/// starting efficiency.
double recheckResumedBest(const Project& project, platform::Console& console,
                          const Evaluator& evaluate, PlacementRule rule,
                          const std::string& fileName, PackingSequence& current,
                          TypeSequenceArchive& archive);

}  // namespace tessera
