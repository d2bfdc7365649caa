#pragma once

#include <vector>

#include "geometry/transform.h"

namespace tessera {

/// One entry of the orientation table: a rotation about the origin, no translation.
using Orientation = Transform;

/// Number of orientations for rn angular steps per half turn: 4*rn*(rn*(rn-1)+1).
long long orientationCountFor(int rn);

/// The orientation table for rn >= 0, in table order; angles accumulated by repeated addition.
std::vector<Orientation> buildOrientations(int rn);

}  // namespace tessera
