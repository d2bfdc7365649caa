// app: the entry points and the wiring of one run. Logic that belongs to a subsystem lives there.
#pragma once

#include <exception>

#include "app/arguments.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "search/chain_transport.h"

namespace tessera {

/// One run: choose and load the project, search, write the final report and drawing, wait for
/// a key. Returns the exit status; bad input propagates as InputError (see reportFailure).
/// Given a transport of several processes, rank 0 runs as above with the chains spread over
/// them, and the others only load the project and serve their chains, silently.
int runTessera(const Arguments& arguments, platform::Console& console, platform::Clock& clock,
               ChainTransport* transport = nullptr);

/// Shows the message of a failed run the way its kind asks for; returns the exit status 1.
int reportFailure(platform::Console& console, const std::exception& error);

}  // namespace tessera
