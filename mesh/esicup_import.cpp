#include "mesh/esicup_import.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "mesh/mesh_import.h"
#include "mesh/mesh_reader.h"
#include "model/turn_rule.h"

// The instances are JSON; nlohmann's reader (Debian: nlohmann-json3-dev) reads them. Nothing
// the packing computes passes through it but the base, the demands and the rotations' angles.
namespace tessera {

namespace {

using Json = nlohmann::json;

constexpr double kSameImage = 1e-9;

ImportError instanceError(const std::string& path, const std::string& what) {
  return ImportError(importMessage(path, 0, what));
}

Point imageOf(const Orientation& o, int axis) { return {o.m[axis][0], o.m[axis][1], o.m[axis][2]}; }

bool sameTurn(const Orientation& a, const Orientation& b) {
  for (int axis = 0; axis < 3; ++axis) {
    const Point p = imageOf(a, axis), q = imageOf(b, axis);
    if (std::fabs(p.x - q.x) > kSameImage || std::fabs(p.y - q.y) > kSameImage ||
        std::fabs(p.z - q.z) > kSameImage)
      return false;
  }
  return true;
}

bool holds(const std::vector<Orientation>& table, const Orientation& turn) {
  return std::any_of(table.begin(), table.end(),
                     [&](const Orientation& o) { return sameTurn(o, turn); });
}

std::vector<Orientation> distinct(const std::vector<Orientation>& turns) {
  std::vector<Orientation> out;
  for (const Orientation& t : turns)
    if (!holds(out, t)) out.push_back(t);
  return out;
}

// The turn by angle degrees about axis (right-handed), as a table entry: row i is where the
// turn takes the unit vector along axis i.
Orientation axisTurn(Point axis, double degrees) {
  const double length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
  axis = {axis.x / length, axis.y / length, axis.z / length};
  const double theta = degrees * std::acos(-1.0) / 180.0;
  const double c = std::cos(theta), s = std::sin(theta), w = 1.0 - c;
  Orientation turn = identityTransform();
  const Point unit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int i = 0; i < 3; ++i) {
    const Point& v = unit[i];
    const Point k = axis;
    const Point kxv = {k.y * v.z - k.z * v.y, k.z * v.x - k.x * v.z, k.x * v.y - k.y * v.x};
    const double kv = k.x * v.x + k.y * v.y + k.z * v.z;
    turn.m[i][0] = v.x * c + kxv.x * s + k.x * kv * w;
    turn.m[i][1] = v.y * c + kxv.y * s + k.y * kv * w;
    turn.m[i][2] = v.z * c + kxv.z * s + k.z * kv * w;
  }
  return turn;
}

Orientation rotationOf(const Json& entry, const std::string& path, const std::string& where) {
  const std::string form =
      where +
      ": a rotation must be {\"axis\": \"x\", \"y\", \"z\" or [x, y, z], \"angle\": degrees}";
  if (!entry.is_object() || !entry.contains("axis") || !entry.contains("angle") ||
      !entry["angle"].is_number())
    throw instanceError(path, form + "; found " + entry.dump());
  const Json& axis = entry["axis"];
  Point direction;
  if (axis.is_string() && axis == "x") {
    direction = {1, 0, 0};
  } else if (axis.is_string() && axis == "y") {
    direction = {0, 1, 0};
  } else if (axis.is_string() && axis == "z") {
    direction = {0, 0, 1};
  } else if (axis.is_array() && axis.size() == 3 &&
             std::all_of(axis.begin(), axis.end(), [](const Json& v) { return v.is_number(); })) {
    direction = {axis[0].get<double>(), axis[1].get<double>(), axis[2].get<double>()};
    if (!(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z > 0))
      throw instanceError(path, where + ": a rotation's axis must not be 0, 0, 0");
  } else {
    throw instanceError(path, form + "; found " + entry.dump());
  }
  const double angle = entry["angle"].get<double>();
  if (!std::isfinite(angle)) throw instanceError(path, where + ": the angle is not finite");
  return axisTurn(direction, angle);
}

// The item's mesh from the instance's folder or the nearest folder above it that has it.
std::string findMesh(const std::string& instancePath, const std::string& relative,
                     const std::string& where) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path folder = fs::absolute(fs::path(instancePath), ec).parent_path();
  const fs::path start = folder;
  for (;;) {
    const fs::path candidate = folder / relative;
    if (fs::is_regular_file(candidate, ec))
      return (fs::path(instancePath).parent_path() / candidate.lexically_relative(start))
          .lexically_normal()
          .string();
    if (folder == folder.parent_path() || folder.empty()) break;
    folder = folder.parent_path();
  }
  throw instanceError(instancePath, where + ": the mesh \"" + relative +
                                        "\" is found neither in the instance's folder nor in "
                                        "any folder above it");
}

double positiveNumber(const Json& object, const char* key, const std::string& path,
                      const std::string& where) {
  if (!object.contains(key) || !object[key].is_number() || !(object[key].get<double>() > 0) ||
      !std::isfinite(object[key].get<double>()))
    throw instanceError(path, where + ": \"" + key + "\" must be a positive number");
  return object[key].get<double>();
}

double roundedDownToOneFigure(double x) {
  const int exponent = static_cast<int>(std::floor(std::log10(x)));
  const double digit =
      std::floor(exponent < 0 ? x * std::pow(10.0, -exponent) : x / std::pow(10.0, exponent));
  return exponent < 0 ? digit / std::pow(10.0, -exponent) : digit * std::pow(10.0, exponent);
}

}  // namespace

EsicupInstance readEsicup(const std::string& path, const std::string& meshFolder) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw instanceError(path, "cannot open the file");
  Json root;
  try {
    root = Json::parse(in);
  } catch (const Json::exception& e) {
    throw instanceError(path, std::string("not an instance in JSON: ") + e.what());
  }
  if (!root.is_object()) throw instanceError(path, "the instance must be a JSON object");
  EsicupInstance instance;
  if (root.contains("name") && root["name"].is_string()) instance.name = root["name"];
  if (!root.contains("container") || !root["container"].is_object())
    throw instanceError(path, "\"container\" with \"size-x\" and \"size-y\" is missing");
  instance.sizeX = positiveNumber(root["container"], "size-x", path, "container");
  instance.sizeY = positiveNumber(root["container"], "size-y", path, "container");
  if (!root.contains("item-types") || !root["item-types"].is_array() || root["item-types"].empty())
    throw instanceError(path, "\"item-types\" must list at least one item type");
  int number = 0;
  for (const Json& entry : root["item-types"]) {
    const std::string where = "item type " + std::to_string(++number);
    if (!entry.is_object() || !entry.contains("path") || !entry["path"].is_string())
      throw instanceError(path, where + ": \"path\" to its mesh is missing");
    EsicupItem item;
    if (!entry.contains("demand") || !entry["demand"].is_number_integer() ||
        entry["demand"].get<long long>() < 1 || entry["demand"].get<long long>() > 1000000)
      throw instanceError(path, where + ": \"demand\" must be a whole number from 1");
    item.demand = static_cast<int>(entry["demand"].get<long long>());
    if (entry.contains("allowed-rotations")) {
      const Json& rotations = entry["allowed-rotations"];
      if (!rotations.is_array())
        throw instanceError(path, where + ": \"allowed-rotations\" must be a list of rotations");
      for (const Json& r : rotations) item.rotations.push_back(rotationOf(r, path, where));
    }
    const std::string relative = entry["path"].get<std::string>();
    const std::filesystem::path repaired =
        std::filesystem::path(meshFolder) / std::filesystem::path(relative).filename();
    std::error_code ec;
    item.meshPath = !meshFolder.empty() && std::filesystem::is_regular_file(repaired, ec)
                        ? repaired.string()
                        : findMesh(path, relative, where);
    instance.items.push_back(std::move(item));
  }
  return instance;
}

std::optional<int> smallestRNFor(const std::vector<Orientation>& rotations) {
  for (int rn = 1; rn <= kMostEsicupRN; ++rn) {
    const std::vector<Orientation> table = buildOrientations(rn);
    if (!holds(table, identityTransform())) continue;
    if (std::all_of(rotations.begin(), rotations.end(),
                    [&](const Orientation& r) { return holds(table, r); }))
      return rn;
  }
  return std::nullopt;
}

void createEsicupProject(const std::string& instancePath, const std::string& meshFolder,
                         const std::string& projectPath, ProjectSettings settings,
                         std::ostream& log) {
  const EsicupInstance instance = readEsicup(instancePath, meshFolder);
  std::vector<Orientation> rotations{identityTransform()};
  for (const EsicupItem& item : instance.items)
    rotations.insert(rotations.end(), item.rotations.begin(), item.rotations.end());
  rotations = distinct(rotations);
  const std::optional<int> smallest = smallestRNFor(rotations);
  if (settings.RN == 0) {
    if (!smallest)
      throw instanceError(instancePath, "its rotations are in no orientation set up to RN " +
                                            std::to_string(kMostEsicupRN) +
                                            "; give --rn to pack with another set");
    settings.RN = *smallest;
  } else {
    const std::vector<Orientation> table = buildOrientations(settings.RN);
    for (const Orientation& r : rotations)
      if (!holds(table, r))
        throw instanceError(instancePath,
                            "RN " + std::to_string(settings.RN) +
                                " lacks one of the instance's rotations; " +
                                (smallest ? "RN " + std::to_string(*smallest) + " holds them all"
                                          : std::string("no RN up to ") +
                                                std::to_string(kMostEsicupRN) + " holds them all"));
  }
  const std::size_t setSize = distinct(buildOrientations(settings.RN)).size();
  if (setSize > rotations.size())
    log << "note: RN " << settings.RN << " turns parts " << setSize
        << " ways, more than the instance allows (" << rotations.size()
        << (rotations.size() == 1 ? ": translations only" : "")
        << "); a turn rule per part (MESH:none, MESH:upright) can narrow it\n";

  const double scale = settings.mesh.scale;
  settings.length = instance.sizeX * scale;
  settings.width = instance.sizeY * scale;
  if (settings.PBSL == 0.0)
    settings.PBSL = roundedDownToOneFigure(std::max(settings.length, settings.width) / 60.0);
  std::vector<PartRequest> parts;
  for (const EsicupItem& item : instance.items) parts.push_back({item.meshPath, item.demand});
  if (settings.height == 0.0) {
    // The parts are imported here once more for their volume and extent; meshes of the data
    // set are small.
    double volume = 0.0, longest = 0.0;
    for (const EsicupItem& item : instance.items) {
      const ImportedMesh imported = importMesh(item.meshPath, settings.mesh);
      volume += imported.solid.volume * item.demand;
      const std::vector<Point>& v = imported.solid.vertices;
      for (int axis = 0; axis < 3; ++axis) {
        const auto along = [axis](const Point& p) {
          return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
        };
        const auto [low, high] = std::minmax_element(
            v.begin(), v.end(),
            [&](const Point& a, const Point& b) { return along(a) < along(b); });
        longest = std::max(longest, along(*high) - along(*low));
      }
    }
    const double filled = volume / (settings.length * settings.width);
    settings.height = std::ceil((4.0 * filled + 2.0 * longest) / 10.0) * 10.0;
  }
  log << "instance " << instancePath << (instance.name.empty() ? "" : " (" + instance.name + ")")
      << ": base " << settings.length << " x " << settings.width << ", height " << settings.height
      << ", PBSL " << settings.PBSL << ", RN " << settings.RN << '\n';
  createProject(projectPath, settings, parts, log);
}

}  // namespace tessera
