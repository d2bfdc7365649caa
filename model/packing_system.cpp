#include "model/packing_system.h"

namespace tessera {

int typeIndexOf(const PackingSystem& system, const std::string& name) {
  for (const PartType& type : system.partTypes)
    if (type.name == name) return type.typeIndex;
  return -1;
}

}  // namespace tessera
