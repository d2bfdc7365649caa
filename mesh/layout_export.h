#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mesh/mesh_manifest.h"
#include "mesh/mesh_writer.h"
#include "model/layout.h"
#include "model/polyhedron.h"
#include "model/project.h"

namespace tessera {

/// Mesh formats a layout can be exported to.
enum class ExportFormat { threeMf, stl, obj };

/// The format named by the path's extension: .3mf, .stl or .obj, in any letter case.
std::optional<ExportFormat> exportFormatOf(const std::string& path);

/// The solid as a mesh object: the vertices its faces use, in vertex-list order, and its
/// faces as rings of indices into them.
MeshObject meshObjectOf(const Polyhedron& solid, const std::string& name);

/// What an export holds besides one object per part.
struct ExportContent {
  bool container = false;  // the container, named "container"; the build volume when the
                           // sources know it (a margin shrank the container)
  const ExportSources* sources = nullptr;  // parts with an original appear as it
  bool shapes = false;  // with originals: the packing shapes too, named "<name>#<id> shape"
};

/// The layout: one object per part in id order, named "<name>#<id>", where the layout has it
/// (a part without a place stays parked above the container, as in the drawing); a part whose
/// name has an original is that original carried along the part's motion, vertex by vertex,
/// by the arithmetic that moved the part. Then what content asks for besides.
std::vector<MeshObject> layoutObjects(const Project& project, const Layout& layout,
                                      const ExportContent& content);

/// Writes layoutObjects to path in the format its extension names (STL as ASCII), replacing
/// any file there all at once. Throws InputError (standard error) naming the path when the
/// extension names no format or the file cannot be written; an old file is then kept.
void writeLayoutExport(const Project& project, const Layout& layout, const std::string& path,
                       const ExportContent& content);

/// Throws InputError (standard error) when path lies in no existing folder, so that an export
/// that could never be written is refused before a search, not after it.
void checkExportFolder(const std::string& path);

}  // namespace tessera
