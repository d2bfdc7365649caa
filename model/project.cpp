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

bool Project::mayTurn(int id, int o) const {
  if (turnAllowed.empty() || id < 0 || static_cast<std::size_t>(id) >= typeOfPart.size())
    return true;
  const int type = typeOf(id);
  if (type < 0 || static_cast<std::size_t>(type) >= turnAllowed.size()) return true;
  return turnAllowed[static_cast<std::size_t>(type)][static_cast<std::size_t>(o)] != 0;
}

void buildOrientations(Project& project) {
  project.orientationTable = buildOrientations(project.RN);
  project.turnAllowed.clear();
  const bool ruled = std::any_of(project.partTypes.begin(), project.partTypes.end(),
                                 [](const PartType& t) { return !(t.turns == TurnRule{}); });
  if (!ruled) return;
  for (const PartType& type : project.partTypes)
    project.turnAllowed.push_back(allowedTurns(type.turns, project.orientationTable));
}

std::vector<int> turnsOfType(const Project& project, int typeIndex) {
  std::vector<int> turns;
  const auto t = static_cast<std::size_t>(typeIndex);
  for (int o = 0; o < project.orientationCount(); ++o)
    if (project.turnAllowed.empty() || t >= project.turnAllowed.size() ||
        project.turnAllowed[t][static_cast<std::size_t>(o)] != 0)
      turns.push_back(o);
  return turns;
}

}  // namespace tessera
