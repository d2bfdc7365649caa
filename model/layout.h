#pragma once

#include <vector>

#include "geometry/point.h"
#include "model/motion.h"
#include "model/polyhedron.h"
#include "model/project.h"

// A layout is a value: where every part of a project stands, made by an evaluation (or any
// other search) and read, never changed, by whoever measures, draws or saves it.
namespace tessera {

/// Where one part stands.
struct PartPlacement {
  int type = 0;          // its typeIndex
  int orientation = -1;  // the entry of the orientation table it is turned by; -1: none
  bool placed = false;   // false: it found no place and stays parked above the container
  Motion motion;         // from its file's coordinates to where it stands
  Point boxMin;          // its bounding box there
  Point boxMax;

  friend bool operator==(const PartPlacement&, const PartPlacement&) = default;
};

/// The packing height the search logs for an efficiency e: V / e / A.
struct HeightOf {
  double totalVolume = 0.0;
  double area = 0.0;
  double operator()(double efficiency) const { return totalVolume / efficiency / area; }
};

/// The figures every output reports of a layout. Every part counts, parked ones included.
struct LayoutMeasure {
  double totalVolume = 0.0;  // V: the parts' stated volumes summed in id order
  double length = 0.0;       // L: the container's box along x
  double width = 0.0;        // W: along y
  double bottom = 0.0;       // the container's box minimum z
  double top = 0.0;          // the highest part top, never below bottom
  int placedCount = 0;
  std::vector<int> copiesPerType;  // by typeIndex
  std::vector<int> placedPerType;

  /// H = top - bottom.
  double height() const { return top - bottom; }
  /// A = L * W, the container's footprint.
  double area() const { return length * width; }
  /// The packing efficiency V / (A * H) that the search maximises.
  double efficiency() const { return totalVolume / (area() * height()); }
  /// The reports' density V / (H * L * W) * 100, in percent.
  double densityPercent() const { return totalVolume / (height() * length * width) * 100; }
  /// The height of an efficiency with this layout's V and A (every layout of a project has them).
  HeightOf heightOf() const { return {totalVolume, area()}; }
};

struct Layout {
  std::vector<PartPlacement> parts;  // by part id
  LayoutMeasure measure;             // of these placements
};

LayoutMeasure measureLayout(const Project& project, const std::vector<PartPlacement>& parts);

/// A layout of these placements with its measure.
Layout makeLayout(const Project& project, std::vector<PartPlacement> parts);

/// Part id as loading left it: parked, turned by nothing.
PartPlacement parkedPlacement(const Project& project, int id);

/// Every part parked.
Layout parkedLayout(const Project& project);

/// The height of an efficiency in any layout of the project (V and A are the project's).
HeightOf heightOf(const Project& project);

/// Part id turned by orientation about the origin of its file's coordinates, then moved by
/// translation; its box realised.
PartPlacement posedPlacement(const Project& project, int id, int orientation,
                             const Point& translation, bool placed = true);

/// Part id where the layout has it: its file's solid carried along its motion with the
/// arithmetic placement used, so that it equals the placed part bit for bit. No bitmap.
Polyhedron placedSolid(const Project& project, const Layout& layout, int id);

/// Part id carried along motion from its file's coordinates.
Polyhedron movedSolid(const Project& project, int id, const Motion& motion);

/// placedSolid of every part, by id.
std::vector<Polyhedron> placedSolids(const Project& project, const Layout& layout);

/// The ids of the parts that found no place, in id order.
std::vector<int> unplacedParts(const Layout& layout);

}  // namespace tessera
