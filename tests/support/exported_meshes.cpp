#include "support/exported_meshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "mesh/mesh_solid.h"
#include "mesh/mesh_writer_3mf.h"

namespace tessera::test {

namespace {

double number(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  EXPECT_TRUE(!text.empty() && *end == '\0') << "not a number: " << text;
  return value;
}

Point pointOf(std::istringstream& fields) {
  std::string x, y, z;
  fields >> x >> y >> z;
  return {number(x), number(y), number(z)};
}

}  // namespace

std::vector<MeshObject> objectsOfObj(const std::string& text) {
  std::vector<MeshObject> objects;
  std::size_t firstIndex = 1;  // file-wide index of the current group's first vertex
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "o") {
      if (!objects.empty()) firstIndex += objects.back().vertices.size();
      objects.push_back({line.substr(2), {}, {}});
    } else if (key == "v" && !objects.empty()) {
      objects.back().vertices.push_back(pointOf(fields));
    } else if (key == "f" && !objects.empty()) {
      std::vector<int> ring;
      for (long index = 0; fields >> index;)
        ring.push_back(static_cast<int>(index - static_cast<long>(firstIndex)));
      objects.back().faces.push_back(ring);
    }
  }
  return objects;
}

std::vector<MeshObject> objectsOfStl(const std::string& text) {
  std::vector<MeshObject> objects;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "solid") {
      objects.push_back({line.substr(6), {}, {}});
    } else if (key == "vertex" && !objects.empty()) {
      MeshObject& object = objects.back();
      object.vertices.push_back(pointOf(fields));
      if (object.vertices.size() % 3 == 0) {
        const int last = static_cast<int>(object.vertices.size()) - 1;
        object.faces.push_back({last - 2, last - 1, last});
      }
    }
  }
  return objects;
}

std::vector<MeshObject> objectsOf3mf(const std::string& packageBytes) {
  std::string model;
  for (const PackagePart& part : readZipPackage(packageBytes))
    if (part.name == k3mfModelPath) model = part.bytes;
  EXPECT_FALSE(model.empty()) << "no model part";

  std::vector<MeshObject> objects;
  const std::regex element(
      R"re(<object id="(\d+)" name="([^"]*)"|<vertex x="([^"]+)" y="([^"]+)" z="([^"]+)"/>)re"
      R"re(|<triangle v1="(\d+)" v2="(\d+)" v3="(\d+)"/>|<item objectid="(\d+)"/>)re");
  std::vector<int> placed;
  for (auto it = std::sregex_iterator(model.begin(), model.end(), element);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      EXPECT_EQ(std::stoul(m[1]), objects.size() + 1);
      objects.push_back({m[2], {}, {}});
    } else if (m[3].matched) {
      objects.back().vertices.push_back({number(m[3]), number(m[4]), number(m[5])});
    } else if (m[6].matched) {
      objects.back().faces.push_back({std::stoi(m[6]), std::stoi(m[7]), std::stoi(m[8])});
    } else {
      placed.push_back(std::stoi(m[9]));
    }
  }
  std::vector<int> everyObject;
  for (std::size_t i = 1; i <= objects.size(); ++i) everyObject.push_back(static_cast<int>(i));
  EXPECT_EQ(placed, everyObject) << "the build places every object once";
  return objects;
}

double unsignedArea(const MeshObject& object) {
  double area = 0.0;
  for (const std::vector<int>& ring : object.faces) {
    const Point& a = object.vertices[static_cast<std::size_t>(ring[0])];
    for (std::size_t k = 1; k + 1 < ring.size(); ++k) {
      const Point n = cross(minus(object.vertices[static_cast<std::size_t>(ring[k])], a),
                            minus(object.vertices[static_cast<std::size_t>(ring[k + 1])], a));
      area += std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) / 2.0;
    }
  }
  return area;
}

double volumeOf(const MeshObject& object) {
  double volume = 0.0;
  Point centroid;
  volumeAndCentroid(object.vertices, object.faces, volume, centroid);
  return volume;
}

}  // namespace tessera::test
