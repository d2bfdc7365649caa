#include "model/layout.h"

#include <utility>

#include "geometry/assert.h"

namespace tessera {

LayoutMeasure measureLayout(const Project& project, const std::vector<PartPlacement>& parts) {
  TESSERA_ASSERT(static_cast<int>(parts.size()) == project.parts.count());
  const Polyhedron& container = project.container;
  LayoutMeasure m;
  m.length = container.boxMax.x - container.boxMin.x;
  m.width = container.boxMax.y - container.boxMin.y;
  m.bottom = container.boxMin.z;
  m.top = m.bottom;
  m.copiesPerType.assign(project.partTypes.size(), 0);
  m.placedPerType.assign(project.partTypes.size(), 0);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const PartPlacement& part = parts[i];
    if (part.boxMax.z > m.top) m.top = part.boxMax.z;
    m.totalVolume += project.parts[static_cast<int>(i)].volume;
    const bool typed = part.type >= 0 && part.type < static_cast<int>(m.copiesPerType.size());
    if (typed) ++m.copiesPerType[static_cast<std::size_t>(part.type)];
    if (!part.placed) continue;
    ++m.placedCount;
    if (typed) ++m.placedPerType[static_cast<std::size_t>(part.type)];
  }
  return m;
}

Layout makeLayout(const Project& project, std::vector<PartPlacement> parts) {
  Layout layout;
  layout.measure = measureLayout(project, parts);
  layout.parts = std::move(parts);
  return layout;
}

PartPlacement parkedPlacement(const Project& project, int id) {
  const Part& part = project.parts[id];
  PartPlacement p;
  p.type = project.typeOf(id);
  addMove(p.motion, project.parkOffset[static_cast<std::size_t>(id)]);
  p.boxMin = part.boxMin;
  p.boxMax = part.boxMax;
  return p;
}

Layout parkedLayout(const Project& project) {
  std::vector<PartPlacement> parts;
  parts.reserve(static_cast<std::size_t>(project.parts.count()));
  for (int id = 0; id < project.parts.count(); ++id) parts.push_back(parkedPlacement(project, id));
  return makeLayout(project, std::move(parts));
}

HeightOf heightOf(const Project& project) { return parkedLayout(project).measure.heightOf(); }

namespace {

Polyhedron sourceOf(const Project& project, int id) {
  Polyhedron solid =
      project.sources[static_cast<std::size_t>(project.sourceOfPart[static_cast<std::size_t>(id)])];
  const Part& part = project.parts[id];
  solid.cellSide = part.cellSide;
  solid.id = part.id;
  solid.dropBitmap();
  return solid;
}

}  // namespace

PartPlacement posedPlacement(const Project& project, int id, int orientation,
                             const Point& translation, bool placed) {
  PartPlacement p;
  p.type = project.typeOf(id);
  p.orientation = orientation;
  p.placed = placed;
  if (orientation >= 0) addTurn(p.motion, orientation);
  addMove(p.motion, translation);
  Polyhedron solid = sourceOf(project, id);
  applyMotion(p.motion, project.orientationTable, solid);
  p.boxMin = solid.boxMin;
  p.boxMax = solid.boxMax;
  return p;
}

Polyhedron movedSolid(const Project& project, int id, const Motion& motion) {
  Polyhedron solid = sourceOf(project, id);
  applyMotion(motion, project.orientationTable, solid);
  return solid;
}

Polyhedron placedSolid(const Project& project, const Layout& layout, int id) {
  return movedSolid(project, id, layout.parts[static_cast<std::size_t>(id)].motion);
}

std::vector<Polyhedron> placedSolids(const Project& project, const Layout& layout) {
  std::vector<Polyhedron> solids;
  solids.reserve(layout.parts.size());
  for (std::size_t id = 0; id < layout.parts.size(); ++id)
    solids.push_back(placedSolid(project, layout, static_cast<int>(id)));
  return solids;
}

std::vector<int> unplacedParts(const Layout& layout) {
  std::vector<int> ids;
  for (std::size_t id = 0; id < layout.parts.size(); ++id)
    if (!layout.parts[id].placed) ids.push_back(static_cast<int>(id));
  return ids;
}

}  // namespace tessera
