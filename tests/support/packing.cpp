#include "support/packing.h"

#include "placement/occupancy_grid.h"
#include "support/solids.h"

namespace tessera::test {

PackingSystem loadedSystem(const Polyhedron& container, const std::vector<Polyhedron>& parts,
                           double pbsl, int rn) {
  PackingSystem system;
  system.container = container;
  system.PBSL = pbsl;
  system.RN = rn;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) system.parts.pushFront(*it);
  system.sequenceLength = system.parts.count();
  int id = 0;
  for (Part& part : system.parts) {
    part.cellSide = pbsl;
    part.translate(minus(system.container.boxMax, part.boxMin));
    part.id = id++;
  }
  system.parts.copyInto(system.masterParts);
  return system;
}

PackingSystem makeSystem(const Polyhedron& container, const std::vector<Polyhedron>& parts,
                         double pbsl, int rn) {
  PackingSystem system = loadedSystem(container, parts, pbsl, rn);
  buildGrid(system);
  system.buildOrientations();
  return system;
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

PackingSystem smallProject(int rn) {
  return makeSystem(box({0, 0, 0}, {5, 5, 8}, "container"),
                    {box({0, 0, 0}, {3, 2, 1}, "slab"), cube(1.5), lShape(), tetrahedron()}, 1, rn);
}

void restoreParts(PackingSystem& system) { system.masterParts.copyInto(system.parts); }

int occupiedCount(const PackingSystem& system) {
  int n = 0;
  for (std::uint8_t c : system.grid.cells) n += c;
  return n;
}

}  // namespace tessera::test
