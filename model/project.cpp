#include "model/project.h"

#include <algorithm>

namespace tessera {

int typeIndexOf(const std::vector<PartType>& partTypes, const std::string& name) {
  for (const PartType& type : partTypes)
    if (type.name == name) return type.typeIndex;
  return -1;
}

std::vector<int> sortedPartTypes(const Project& project) {
  std::vector<int> types = project.typeOfPart;
  std::sort(types.begin(), types.end());
  return types;
}

void parkParts(Project& project, const std::vector<int>& order) {
  project.parts.clear();
  project.typeOfPart.clear();
  project.sourceOfPart.clear();
  project.parkOffset.clear();
  const Point& corner = project.container.boxMax;
  int id = 0;
  for (const int s : order) {
    Part part = project.sources[static_cast<std::size_t>(s)];
    part.cellSide = project.PBSL;
    const Point offset = minus(corner, part.boxMin);
    part.translate(offset);
    part.id = id++;
    project.typeOfPart.push_back(typeIndexOf(project.partTypes, part.name));
    project.sourceOfPart.push_back(s);
    project.parkOffset.push_back(offset);
    project.parts.pushBack(std::move(part));
  }
  project.sequenceLength = project.parts.count();
}

void buildOrientations(Project& project) {
  project.orientationTable = buildOrientations(project.RN);
}

}  // namespace tessera
