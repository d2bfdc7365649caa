#include "support/project.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/packing.h"
#include "support/solids.h"

namespace tessera::test {

Project projectWithTypes(const std::vector<int>& copies) {
  std::vector<Polyhedron> parts;
  for (std::size_t t = 0; t < copies.size(); ++t) {
    for (int c = 0; c < copies[t]; ++c) {
      Polyhedron part = cube(1.0, "T" + std::to_string(t));
      part.volume = 1.0;
      parts.push_back(part);
    }
  }
  Project project = loadedProject(box({0, 0, 0}, {10, 10, 10}, "container"), parts, 1.0, 1);
  // Types with no copies are listed all the same.
  project.partTypes.clear();
  for (std::size_t t = 0; t < copies.size(); ++t)
    project.partTypes.push_back({"T" + std::to_string(t), static_cast<int>(t), false, {}});
  std::vector<int> order;
  for (int i = 0; i < static_cast<int>(project.sources.size()); ++i) order.push_back(i);
  parkParts(project, order);
  return project;
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
