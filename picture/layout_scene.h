// picture: the layout as a PNG picture (scene, rasteriser, font, PNG writer).
// It only looks at a finished layout; nothing it draws feeds back into the packing.
#pragma once

#include <string>

#include "model/packing_system.h"
#include "picture/scene.h"

namespace tessera {

/// The layout held in system.parts as a picture scene: parts coloured by type, parts still at
/// their parked position marked unplaced, the packing height measured as the reports do.
LayoutScene layoutSceneOf(const PackingSystem& system, const std::string& title);

/// Writes the picture of the layout in system.parts to path; a failure is reported as bad
/// output (message and exit status 1).
void writeLayoutPictureFile(const PackingSystem& system, const std::string& path);

}  // namespace tessera
