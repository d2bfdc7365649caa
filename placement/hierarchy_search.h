#pragma once

#include "placement/prepared_solid.h"

// Building a prepared solid's hierarchies (solid_hierarchy.h) and the searches that use more
// than one solid's.
namespace tessera {

/// Builds the hierarchies over the solid's faces, edges and vertices, with which insideSolid
/// and solidsDisjoint visit only what can change their answers; worth it for a solid that is
/// tested many times, the answers are the same without. A solid with a coordinate that is not
/// finite gets none. Planes must be current.
void buildHierarchy(PreparedSolid& solid);

/// Recomputes what the hierarchy keeps about the planes (each edge's counting plane and the
/// spreads), after refreshPlanes has recomputed the face planes.
void refreshHierarchyPlanes(PreparedSolid& solid);

/// Some edge of edgesOf crosses some face of facesOf (segmentCrossesFace with the edge's guide
/// point); both solids have hierarchies and current planes.
bool edgesCrossFacesByHierarchy(const PreparedSolid& edgesOf, const PreparedSolid& facesOf);

}  // namespace tessera
