// picture: the layout as a PNG picture (scene, rasteriser, font, PNG writer).
// It only looks at a finished layout; nothing it draws feeds back into the packing.
#pragma once

#include <string>

#include "model/layout.h"
#include "model/project.h"
#include "picture/scene.h"

namespace tessera {

/// The layout as a picture scene: parts coloured by type, parts that found no place marked
/// unplaced, the packing height of the layout's measure.
LayoutScene layoutSceneOf(const Project& project, const Layout& layout, const std::string& title);

/// Writes the picture of the layout to path; a failure is reported as bad output (message and
/// exit status 1).
void writeLayoutPictureFile(const Project& project, const Layout& layout, const std::string& path);

}  // namespace tessera
