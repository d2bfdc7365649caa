#include "mesh/mesh_import.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/atomic_file.h"
#include "mesh/mesh_hull.h"
#include "mesh/polyhedron_writer.h"

namespace tessera {

ImportedMesh importMesh(const std::string& path, const MeshImportOptions& options) {
  return importRawMesh(readMesh(path, options.memoryBytes), path, options);
}

ImportedMesh importRawMesh(const RawMesh& raw, const std::string& path,
                           const MeshImportOptions& options) {
  ImportedMesh out;
  if (options.wraps()) {
    if (raw.faces.empty()) throw ImportError(importMessage(path, 0, "the mesh has no faces"));
    const TriangleSoup shape = packingShape(soupOf(raw, options.scale, path), options.spacing / 2,
                                            options.detail, path, out.wrap);
    RawMesh wrapped{shape.vertices, {}, {}};
    for (const auto& t : shape.triangles) wrapped.faces.push_back({t[0], t[1], t[2]});
    try {
      out.solid = buildSolid(wrapped, 1.0, path, &out.notes);
    } catch (const ImportError& error) {
      throw ImportError(importMessage(path, 0, "the wrap of the mesh is no solid (") +
                        error.what() + ")");
    }
    out.notes = {};
    out.wrapped = true;
    return out;
  }
  if (!options.hull) {
    out.solid = buildSolid(raw, options.scale, path, &out.notes);
    return out;
  }
  if (raw.faces.empty()) throw ImportError(importMessage(path, 0, "the mesh has no faces"));
  std::vector<Point> corners;
  std::vector<bool> used(raw.vertices.size(), false);
  for (const auto& ring : raw.faces)
    for (int i : ring) used[i] = true;
  for (std::size_t i = 0; i < raw.vertices.size(); ++i) {
    if (!used[i]) continue;
    const Point& v = raw.vertices[i];
    corners.push_back({v.x * options.scale, v.y * options.scale, v.z * options.scale});
  }
  out.solid = buildSolid(convexHull(corners, path), 1.0, path, &out.notes);
  return out;
}

double millimetresPer(const std::string& unit) {
  if (unit == "mm") return 1.0;
  if (unit == "cm") return 10.0;
  if (unit == "m") return 1000.0;
  if (unit == "in") return 25.4;
  return 0.0;
}

std::string baseName(const std::string& path) {
  return std::filesystem::path(path).stem().string();
}

void checkPartName(const std::string& name) {
  // The polyhedron reader keeps at most 98 characters of the name line.
  if (name.empty()) throw ImportError("the part name is empty");
  if (name.find_first_of("\r\n") != std::string::npos)
    throw ImportError("the part name '" + name + "' contains a line break");
  if (name.size() > 98)
    throw ImportError("the part name '" + name + "' is longer than 98 characters");
}

void writePolyhedronFile(const std::string& path, const std::string& name, const SolidMesh& solid) {
  AtomicFile file(path);
  writePolyhedronFile(file.stream(), name, solid);
  if (!file.commit())
    throw ImportError(importMessage(
        path, 0,
        "cannot create the file (" + file.failure() + "); an earlier file stays as it was"));
}

std::string importSummary(const std::string& meshPath, const std::string& outPath,
                          const ImportedMesh& imported, bool hull) {
  const SolidMesh& s = imported.solid;
  const RepairNotes& n = imported.notes;
  std::ostringstream text;
  text << meshPath << " -> " << outPath << ": " << s.faces.size() << " faces, " << s.vertices.size()
       << " vertices, volume " << s.volume << (hull && !imported.wrapped ? " (convex hull)" : "")
       << '\n';
  if (imported.wrapped) {
    const WrapNotes& w = imported.wrap;
    text << "  packed as its wrap: " << w.triangles << " triangles in " << w.shells
         << (w.shells == 1 ? " shell, " : " shells, ") << w.openEdges << " open and "
         << w.nonManifoldEdges << " non-manifold edges; offset " << w.offset;
    if (w.clearance > 0.0) text << ", every point at least " << w.clearance << " from the mesh";
    text << '\n';
  }
  if (n.droppedDegenerate > 0)
    text << "  dropped " << n.droppedDegenerate << " faces without area\n";
  if (n.droppedDuplicates > 0) text << "  dropped " << n.droppedDuplicates << " repeated faces\n";
  if (n.reversed) text << "  the faces pointed inward; all were turned outward\n";
  if (s.faces.size() > kManyFaces && imported.wrapped)
    text << "warning: " << s.faces.size() << " faces (more than " << kManyFaces
         << "); placement time grows with the face count. A smaller --detail gives fewer.\n";
  else if (s.faces.size() > kManyFaces)
    text << "warning: " << s.faces.size() << " faces (more than " << kManyFaces
         << "); placement time grows with the face count. --hull replaces the part by its "
            "convex hull, which usually has far fewer faces.\n";
  return text.str();
}

}  // namespace tessera
