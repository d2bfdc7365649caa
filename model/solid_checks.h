#pragma once

#include <vector>

#include "geometry/orientations.h"
#include "model/polyhedron.h"
#include "model/project.h"

// What a polyhedron must be to take part in a packing.
namespace tessera {

/// The volume the faces enclose (divergence theorem, each face fanned from its first
/// corner): positive when the faces turn outwards, negative when they all turn inwards.
double enclosedVolume(const Polyhedron& poly);

/// The area of the faces, each measured as the planar polygon of its corners.
double surfaceArea(const Polyhedron& poly);

/// No extent of the part, however it is turned, is below this: 2 V / S for the volume V its
/// faces enclose and their area S (a turned part fills no more than its extent times its
/// shadow, and its surface covers the shadow at least twice), and none is above the least
/// extent of its box as it stands. For a plate this is about its thickness.
double leastExtentInAnyTurn(const Polyhedron& poly);

/// Whether the faces enclose a volume at all: faces that are all degenerate (no area, or
/// flat against each other) enclose none beyond the rounding of the sum.
bool enclosesVolume(const Polyhedron& poly);

/// Whether the part's bounding box, turned by some orientation of the table, is no larger
/// than the container's box on every axis. A part failing this can never be placed.
bool fitsInSomeOrientation(const Polyhedron& part, const Polyhedron& container,
                           const std::vector<Orientation>& orientations);

/// The first part of the project that fits in no orientation of its orientation table that its
/// type may take (one test per shape); nullptr when every part fits in some.
const Part* partFittingNowhere(const Project& project);

}  // namespace tessera
