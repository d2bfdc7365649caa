#pragma once

#include <cstddef>
#include <vector>

#include "picture/projection.h"
#include "picture/scene.h"

// The order in which a view paints solids and faces, farthest first, so nearer ones cover them.
namespace tessera {

/// Indices into solids, farthest first. Of two solids that overlap on the screen and whose boxes
/// are apart along an axis, the one behind comes first: exact for solids in separate boxes.
/// Otherwise, and to break cycles, the solid whose nearest point is farther comes first, then the
/// lower index. Solids with interlocking boxes may still come out in a wrong order.
std::vector<std::size_t> paintingOrder(const std::vector<LayoutSolid>& solids,
                                       const ViewMapping& view);

/// Indices of a solid's non-empty faces, farthest centroid first, then the lower index: right
/// for a convex solid; faces of a non-convex one that overlap on the screen may come out wrong.
std::vector<std::size_t> faceOrder(const LayoutSolid& solid, const ViewMapping& view);

}  // namespace tessera
