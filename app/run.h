// app: the entry points and the wiring of one run. Logic that belongs to a subsystem lives there.
#pragma once

#include <memory>

#include "app/arguments.h"
#include "mesh/mesh_manifest.h"
#include "page/search_progress.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "search/chain_transport.h"
#include "search/optimizer.h"

namespace tessera {

/// One run: choose and load the project, search, write the final report and drawing, wait for
/// a key. Returns the exit status; bad input propagates as InputError (see reportFailure).
/// Given a transport of several processes, rank 0 runs as above with the chains spread over
/// them, and the others only load the project and serve their chains, silently.
int runTessera(const Arguments& arguments, platform::Console& console, platform::Clock& clock,
               ChainTransport* transport = nullptr);

/// Files a pause writes beside its drawing, under the base name the user typed: the picture and
/// the page (unless turned off; the page shows the search so far as progress has followed it)
/// and, with --export, the mesh export with the export's extension, where parts with originals
/// appear as them.
LayoutExtras layoutExtrasFor(const Arguments& arguments,
                             std::shared_ptr<const SearchProgressReader> progress = nullptr,
                             std::shared_ptr<const ExportSources> sources = nullptr);

/// Shows the message of a failed run the way its kind asks for; returns the exit status 1.
int reportFailure(platform::Console& console, const std::exception& error);

}  // namespace tessera
