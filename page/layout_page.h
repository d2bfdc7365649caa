#pragma once

#include <string>

#include "model/layout.h"
#include "model/project.h"
#include "page/search_progress.h"

namespace tessera {

/// The page of the layout: one self-contained HTML file with the viewer script and the layout
/// data (container, parts with name, ID, type, position and volume, packing height and
/// density as the reports print them, the search's progress). The same layout and progress
/// always give the same bytes. Names in GBK are shown as their characters.
std::string layoutPageHtml(const Project& project, const Layout& layout, const std::string& title,
                           const SearchProgress& progress);

/// Writes the page to path, replacing any file there all at once; a failure is reported as
/// bad output (message and exit status 1).
void writeLayoutPageFile(const Project& project, const Layout& layout, const std::string& path,
                         const SearchProgress& progress);

}  // namespace tessera
