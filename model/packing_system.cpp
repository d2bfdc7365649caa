#include "model/packing_system.h"

namespace tessera {

int typeIndexOf(const PackingSystem& system, const std::string& name) {
  for (const PartType& type : system.partTypes)
    if (type.name == name) return type.typeIndex;
  return -1;
}

bool isParkedPart(const PackingSystem& system, const Part& part) {
  const Part* parked = system.masterParts.findById(part.id);
  return parked != nullptr && parked->vertices == part.vertices;
}

}  // namespace tessera
