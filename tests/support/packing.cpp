#include "support/packing.h"

#include "support/solids.h"

namespace tessera::test {

Project loadedProject(const Polyhedron& container, const std::vector<Polyhedron>& parts,
                      double pbsl, int rn) {
  Project project;
  project.container = container;
  project.PBSL = pbsl;
  project.RN = rn;
  std::vector<int> order;
  for (const Polyhedron& part : parts) {
    if (typeIndexOf(project.partTypes, part.name) < 0)
      project.partTypes.push_back(
          {part.name, static_cast<int>(project.partTypes.size()), false, {}});
    order.push_back(static_cast<int>(project.sources.size()));
    project.sources.push_back(part);
  }
  parkParts(project, order);
  return project;
}

Project makeProject(const Polyhedron& container, const std::vector<Polyhedron>& parts, double pbsl,
                    int rn) {
  Project project = loadedProject(container, parts, pbsl, rn);
  buildOrientations(project);
  return project;
}

PackingSequence identitySequence(int n) {
  PackingSequence s;
  for (int i = 0; i < n; ++i) s.items.push_back(i);
  return s;
}

PackingSequence sequenceOf(const std::vector<int>& ids) {
  PackingSequence s;
  s.items.assign(ids.begin(), ids.end());
  return s;
}

Project smallProject(int rn) {
  return makeProject(box({0, 0, 0}, {5, 5, 8}, "container"),
                     {box({0, 0, 0}, {3, 2, 1}, "slab"), cube(1.5), lShape(), tetrahedron()}, 1,
                     rn);
}

Layout layoutScoring(const Project& project, double e) {
  Layout layout = parkedLayout(project);
  layout.measure.totalVolume = e;
  layout.measure.length = 1.0;
  layout.measure.width = 1.0;
  layout.measure.bottom = 0.0;
  layout.measure.top = 1.0;
  return layout;
}

Layout layoutAtSources(const Project& project) {
  std::vector<PartPlacement> parts;
  for (int id = 0; id < project.parts.count(); ++id)
    parts.push_back(posedPlacement(project, id, -1, {0, 0, 0}));
  return makeLayout(project, std::move(parts));
}

int occupiedCount(const OccupancyGrid& grid) {
  int n = 0;
  for (std::uint8_t c : grid.cells) n += c;
  return n;
}

}  // namespace tessera::test
