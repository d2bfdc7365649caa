#include "mesh/layout_export.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <tuple>

#include "formats/atomic_file.h"
#include "formats/part_name.h"
#include "mesh/import_project.h"
#include "mesh/mesh_writer_3mf.h"
#include "model/input_error.h"

namespace tessera {

namespace {

struct PointOrder {
  bool operator()(const Point& a, const Point& b) const {
    return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
  }
};

[[noreturn]] void exportFailure(const std::string& path, const std::string& why) {
  throw InputError("布局导出失败: \"" + path + "\" " + why, InputError::Channel::StandardError);
}

}  // namespace

std::optional<ExportFormat> exportFormatOf(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".3mf") return ExportFormat::threeMf;
  if (extension == ".stl") return ExportFormat::stl;
  if (extension == ".obj") return ExportFormat::obj;
  return std::nullopt;
}

MeshObject meshObjectOf(const Polyhedron& solid, const std::string& name) {
  // Face corners are the vertices' own coordinates (moved by the same arithmetic), so exact
  // lookup finds them; a corner that is no vertex still gets one of its own.
  std::map<Point, int, PointOrder> indexOf;
  for (int i = 0; i < solid.vertexCount(); ++i)
    indexOf.emplace(solid.vertices[static_cast<std::size_t>(i)], i);
  std::vector<Point> corners = solid.vertices;
  std::vector<std::vector<int>> rings;
  for (const Face& face : solid.faces) {
    std::vector<int> ring;
    for (const Point& p : face.points) {
      const auto [at, added] = indexOf.emplace(p, static_cast<int>(corners.size()));
      if (added) corners.push_back(p);
      ring.push_back(at->second);
    }
    rings.push_back(std::move(ring));
  }

  std::vector<int> renumbered(corners.size(), -1);
  for (const std::vector<int>& ring : rings)
    for (const int i : ring) renumbered[static_cast<std::size_t>(i)] = 0;
  MeshObject object{name, {}, {}};
  for (std::size_t i = 0; i < corners.size(); ++i) {
    if (renumbered[i] < 0) continue;
    renumbered[i] = static_cast<int>(object.vertices.size());
    object.vertices.push_back(corners[i]);
  }
  for (std::vector<int>& ring : rings) {
    for (int& i : ring) i = renumbered[static_cast<std::size_t>(i)];
    object.faces.push_back(std::move(ring));
  }
  return object;
}

std::vector<MeshObject> layoutObjects(const Project& project, const Layout& layout,
                                      const ExportContent& content) {
  const OriginalMeshes* originals = content.sources ? &content.sources->originals : nullptr;
  std::vector<MeshObject> objects;
  for (int id = 0; id < static_cast<int>(layout.parts.size()); ++id) {
    const Part& part = project.parts[id];
    const std::string name = partNameAsUtf8(part.name) + "#" + std::to_string(part.id);
    const auto original = originals ? originals->find(part.name) : OriginalMeshes::const_iterator();
    if (!originals || original == originals->end()) {
      objects.push_back(meshObjectOf(placedSolid(project, layout, id), name));
      continue;
    }
    const Motion& motion = layout.parts[static_cast<std::size_t>(id)].motion;
    MeshObject moved{name, {}, original->second.faces};
    moved.vertices.reserve(original->second.vertices.size());
    for (const Point& v : original->second.vertices)
      moved.vertices.push_back(applyMotion(motion, project.orientationTable, v));
    objects.push_back(std::move(moved));
    if (content.shapes)
      objects.push_back(meshObjectOf(placedSolid(project, layout, id), name + " shape"));
  }
  if (content.container && content.sources && content.sources->buildVolume) {
    const Point& volume = *content.sources->buildVolume;
    const SolidMesh box = boxSolid(volume.x, volume.y, volume.z);
    objects.push_back({"container", box.vertices, box.faces});
  } else if (content.container) {
    objects.push_back(meshObjectOf(project.container, "container"));
  }
  return objects;
}

void writeLayoutExport(const Project& project, const Layout& layout, const std::string& path,
                       const ExportContent& content) {
  const std::optional<ExportFormat> format = exportFormatOf(path);
  if (!format) exportFailure(path, "没有指明导出格式 (.3mf, .stl 或 .obj)");
  const std::vector<MeshObject> objects = layoutObjects(project, layout, content);
  AtomicFile file(path);
  switch (*format) {
    case ExportFormat::threeMf:
      try {
        file.stream() << threeMfPackage(objects);
      } catch (const std::runtime_error&) {
        exportFailure(path, "无法打包为 3MF");
      }
      break;
    case ExportFormat::stl:
      writeAsciiStl(file.stream(), objects);
      break;
    case ExportFormat::obj:
      writeObj(file.stream(), objects);
      break;
  }
  if (!file.commit()) exportFailure(path, "无法写入");
}

void checkExportFolder(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty() && !std::filesystem::is_directory(folder, error))
    exportFailure(path, "所在的文件夹不存在");
}

}  // namespace tessera
