#pragma once

#include <vector>

#include "geometry/orientations.h"
#include "geometry/point.h"
#include "model/polyhedron.h"

// How a part got from its file's coordinates to where a layout has it: the turns and moves
// placement applied, in order. Replaying them with the same arithmetic gives the same bits.
namespace tessera {

/// A turn by entry `orientation` of the orientation table, or (orientation < 0) `repeat`
/// moves by offset in a row.
struct MotionStep {
  int orientation = -1;
  Point offset;
  int repeat = 1;

  friend bool operator==(const MotionStep&, const MotionStep&) = default;
};

using Motion = std::vector<MotionStep>;

/// Appends a turn.
void addTurn(Motion& motion, int orientation);
/// Appends a move; a move by the same offset (bit for bit) as the last step adds to its repeat.
void addMove(Motion& motion, const Point& offset);

/// p carried along the motion with the arithmetic Polyhedron::translate and transform use on
/// vertices.
Point applyMotion(const Motion& motion, const std::vector<Orientation>& orientations, Point p);

/// The solid carried along the motion by Polyhedron::transform and translate.
void applyMotion(const Motion& motion, const std::vector<Orientation>& orientations,
                 Polyhedron& solid);

}  // namespace tessera
