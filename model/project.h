// model: the loaded project, the layouts made of it with their measure, parts and sequences.
// It never reads or writes files and never decides where a part goes.
#pragma once

#include <string>
#include <vector>

#include "geometry/orientations.h"
#include "geometry/point.h"
#include "model/part_list.h"
#include "model/polyhedron.h"
#include "model/turn_rule.h"

namespace tessera {

/// One entry per part file of the project, in project-file order.
struct PartType {
  std::string name;
  int typeIndex = 0;
  bool filler = false;  // a filler: as many copies as fit, after the other parts
  TurnRule turns;       // the orientations of the table its parts may take
};

/// What a project file describes, as loading leaves it. Every evaluation, search and writer
/// reads it; nothing changes it once the run's checks have passed and the orientation table
/// is built.
struct Project {
  Polyhedron container;             // its box computed from its vertices
  std::vector<PartType> partTypes;  // one per part file, in project-file order
  std::vector<Polyhedron> sources;  // each part file's solid as read, in project-file order
  // One part per copy: sorted by non-increasing volume, parked with its box minimum on the
  // container's box maximum, cellSide PBSL, numbered 0..n-1 in list order (id = position).
  PartList parts;
  std::vector<int> typeOfPart;    // by id: typeIndex of the first part type named like it
  std::vector<int> sourceOfPart;  // by id: its part file, an index into sources
  std::vector<Point>
      parkOffset;  // by id: the move that took its file's solid to where it is parked
  int sequenceLength = 0;
  double PBSL = 0.0;
  int RN = 0;
  std::vector<Orientation> orientationTable;  // built from RN by buildOrientations
  // By typeIndex, by table index: 1 where parts of the type may take the orientation; built
  // with the table, and left empty when every type takes every orientation.
  std::vector<std::vector<char>> turnAllowed;

  int orientationCount() const { return static_cast<int>(orientationTable.size()); }
  int typeOf(int id) const { return typeOfPart[static_cast<std::size_t>(id)]; }
  /// Whether the part with this id may take orientation o of the table.
  bool mayTurn(int id, int o) const;
};

/// typeIndex of the first part type whose name equals name exactly; -1 when none does.
int typeIndexOf(const std::vector<PartType>& partTypes, const std::string& name);

/// Each part's typeIndex, sorted: every type sequence of the project permutes this.
std::vector<int> sortedPartTypes(const Project& project);

/// Makes the parts of a project whose container, partTypes, sources and PBSL are set: for
/// each s of order, a copy of sources[s] with cellSide PBSL, moved so that its box minimum
/// lies on the container's box maximum and numbered by its place in order; with the tables
/// by id. Replaces any parts made before.
void parkParts(Project& project, const std::vector<int>& order);

/// Builds the orientation table from RN (after the run's checks: it may be large), and with it
/// turnAllowed when some part type has a rule other than all.
void buildOrientations(Project& project);

/// The orientations of the project's table that parts of the type may take, by table index.
std::vector<int> turnsOfType(const Project& project, int typeIndex);

}  // namespace tessera
