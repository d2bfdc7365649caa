// squeeze: the overlap-repair search. Parts may overlap while the height is squeezed; only the
// exact predicates decide that a layout is feasible.
#pragma once

#include <string>
#include <vector>

#include "geometry/orientations.h"
#include "geometry/point.h"
#include "model/layout.h"
#include "model/polyhedron.h"
#include "model/project.h"

namespace tessera {

/// What the squeeze packs, fixed for a whole search: the container, every part type's geometry
/// in its file's coordinates, which type each part is, and the orientations a type may take.
struct SqueezeProblem {
  Polyhedron container;           // its box computed
  std::vector<Polyhedron> types;  // geometry as read from the part file; volume as stated
  std::vector<int> partType;      // part index (the part's id) -> index into types
  std::vector<Orientation> orientations;
  std::vector<std::vector<int>> allowedOrientations;  // per type, indices into orientations

  int partCount() const { return static_cast<int>(partType.size()); }
  int typeCount() const { return static_cast<int>(types.size()); }
};

/// A part's place in a layout: the part's file geometry turned about the origin by
/// orientations[orientation], then moved by translation.
struct Pose {
  int orientation = 0;
  Point translation;

  friend bool operator==(const Pose&, const Pose&) = default;
};

/// The problem of a loaded project: part i is the part with id i, its geometry the solid of the
/// part file it was made from, every type allowed the orientations of the project's table its
/// turn rule allows.
/// The types are the project's part files, in project-file order.
SqueezeProblem makeProblem(const Project& project);

/// Why the squeeze cannot pack into this container; empty when it can. The squeeze keeps parts
/// in boxes inside the container's box, so the container must be that box.
std::string containerRefusal(const SqueezeProblem& problem);

/// The part's geometry in the pose: Polyhedron::transform by the orientation, then
/// Polyhedron::translate by the translation. Every reader of a pose realises it through here.
Polyhedron realisePart(const SqueezeProblem& problem, int part, const Pose& pose);

/// The poses of a layout an evaluation made: each placed part keeps its orientation, and its
/// translation carries the origin as its motion does. A part left parked takes the first allowed
/// orientation, moved so that its box stands on the container's floor corner; it then overlaps
/// until the squeeze moves it.
std::vector<Pose> posesFromLayout(const SqueezeProblem& problem, const Layout& layout);

}  // namespace tessera
