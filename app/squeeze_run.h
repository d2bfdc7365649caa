#pragma once

#include <string>
#include <vector>

#include "model/layout.h"
#include "model/project.h"
#include "platform/console.h"
#include "squeeze/squeeze.h"

// The squeeze as the second phase of a run: from the greedy layout to the lowest layout the
// overlap repair finds in the time left, handed to the writers like any run's layout.
namespace tessera {

/// Why --squeeze cannot pack the project loaded from projectPath, as a message naming it;
/// empty when it can.
std::string squeezeRefusalOf(const Project& project, const std::string& projectPath);

/// The layout of poses (one per part, by id): every part placed by posedPlacement, measured.
Layout layoutOfPoses(const Project& project, const std::vector<Pose>& poses);

struct SqueezeRunResult {
  Layout layout;          // the squeezed layout, or the start when the squeeze found none lower
  bool squeezed = false;  // layout is the squeeze's
  SqueezeProgress progress;
};

/// Squeezes start, a layout the greedy placement made, under options (a time limit or a move
/// budget); the first Ctrl-C ends it early, as it ends the annealing. Writes a console line for
/// every lower feasible height. The layout returned is start or one checkLayout accepts and
/// lower than start. The project must pass squeezeRefusalOf.
SqueezeRunResult squeezeRun(const Project& project, const Layout& start, SqueezeOptions options,
                            platform::Console& console);

}  // namespace tessera
