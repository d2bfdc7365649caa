#pragma once

#include <functional>
#include <vector>

#include "geometry/transform.h"

namespace tessera {

/// One entry of the orientation table: a rotation about the origin, no translation.
using Orientation = Transform;

/// Number of orientations for rn angular steps per half turn: 4*rn*(rn*(rn-1)+1).
long long orientationCountFor(int rn);

/// The orientation table for rn >= 0, in table order; angles accumulated by repeated addition.
std::vector<Orientation> buildOrientations(int rn);

/// Hands each entry of the table for rn to visit, in table order and bit for bit as
/// buildOrientations makes it, until visit returns false; true when every entry was visited.
/// Asks about a table too large to hold without holding it.
bool visitOrientations(int rn, const std::function<bool(const Orientation&)>& visit);

}  // namespace tessera
