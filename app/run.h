#pragma once

#include "app/arguments.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace tessera {

/// One run: choose and load the project, search, write the final report and drawing, wait for
/// a key. Returns the exit status; bad input propagates as InputError (see reportFailure).
int runTessera(const Arguments& arguments, platform::Console& console, platform::Clock& clock);

/// Shows the message of a failed run the way its kind asks for; returns the exit status 1.
int reportFailure(platform::Console& console, const std::exception& error);

}  // namespace tessera
