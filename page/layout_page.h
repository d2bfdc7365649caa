#pragma once

#include <string>

#include "model/packing_system.h"
#include "page/search_progress.h"

namespace tessera {

/// The page of the layout held in system.parts: one self-contained HTML file with the viewer
/// script and the layout data (container, parts with name, ID, type, position and volume,
/// packing height and density as the final report prints them, the search's progress). Like
/// the reports, it stores the container's box recomputed from its vertices. The same
/// layout and progress always give the same bytes. Names in GBK are shown as their characters.
std::string layoutPageHtml(PackingSystem& system, const std::string& title,
                           const SearchProgress& progress);

/// Writes the page to path, replacing any file there all at once; a failure is reported as
/// bad output (message and exit status 1).
void writeLayoutPageFile(PackingSystem& system, const std::string& path,
                         const SearchProgress& progress);

}  // namespace tessera
