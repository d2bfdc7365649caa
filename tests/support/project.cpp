#include "support/project.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/solids.h"

namespace tessera::test {

PackingSystem projectWithTypes(const std::vector<int>& copies) {
  PackingSystem system;
  system.container = box({0, 0, 0}, {10, 10, 10}, "container");
  std::vector<Part> inIdOrder;
  for (std::size_t t = 0; t < copies.size(); ++t) {
    const std::string name = "T" + std::to_string(t);
    system.partTypes.push_back({name, static_cast<int>(t)});
    for (int c = 0; c < copies[t]; ++c) {
      Part part = cube(1.0, name);
      part.volume = 1.0;
      part.id = static_cast<int>(inIdOrder.size());
      inIdOrder.push_back(part);
    }
  }
  for (auto it = inIdOrder.rbegin(); it != inIdOrder.rend(); ++it) system.parts.pushFront(*it);
  system.sequenceLength = system.parts.count();
  system.parts.copyInto(system.masterParts);
  return system;
}

ScratchFolder::ScratchFolder() {
  static int made = 0;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (;;) {
    std::ostringstream name;
    name << "tessera_test_" << ::getpid() << "_" << made++;
    const std::filesystem::path candidate = base / name.str();
    if (std::filesystem::create_directory(candidate)) {
      folder_ = candidate.string();
      break;
    }
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> ScratchFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string boxFileText(const std::string& name, double dx, double dy, double dz,
                        const std::string& volume) {
  std::ostringstream t;
  t << "Polyhedron data file\nName\n" << name << "\nVolume\n";
  if (volume.empty()) {
    t << dx * dy * dz;
  } else {
    t << volume;
  }
  t << "\nReference point\n0,0,0\nVertex list\n";
  const double xs[] = {0, dx, dx, 0};
  const double ys[] = {0, 0, dy, dy};
  for (int i = 0; i < 8; ++i)
    t << i << ',' << xs[i % 4] << ',' << ys[i % 4] << ',' << (i < 4 ? 0.0 : dz) << '\n';
  t << "EndVertexList\nEdge list\nEndEdgeList\nFace list\n"
       "0,4, 3,2,1,0\n1,4, 4,5,6,7\n2,4, 0,1,5,4\n3,4, 1,2,6,5\n4,4, 2,3,7,6\n5,4, 3,0,4,7\n"
       "EndFaceList\n";
  return t.str();
}

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::map<std::string, std::string> filesIn(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    out[std::filesystem::relative(entry.path(), folder).string()] =
        entry.is_regular_file() ? readBytes(entry.path().string()) : "(folder)";
  return out;
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tessera::test
