#pragma once

#include <optional>

#include "platform/console.h"

namespace tessera {

/// The console dialogue every search opens with: banner, the question for the number of
/// iterations, the two notes, a wait for a key, the start message. Returns the planned count:
/// 500 unless an integer was read. A count given on the command line is used without asking.
int startupDialogue(platform::Console& console, std::optional<int> givenIterations);

}  // namespace tessera
