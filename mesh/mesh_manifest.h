#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mesh/mesh_writer.h"
#include "model/project.h"

namespace tessera {

/// Where one part type's packing shape came from: its original mesh and the factor its
/// coordinates were multiplied by. The part file lies in the scaled mesh's own coordinates.
struct ManifestEntry {
  std::string partName;  // the name line of the part file
  std::string meshPath;  // relative to the manifest's folder (as the file system resolves it)
  int item = 0;          // k > 0: the k-th item of a 3MF plate's build; 0: the whole file
  double scale = 1.0;
  // Recorded by the import; manifests of earlier versions have neither.
  std::optional<std::uint64_t> checksum;  // of the mesh file's bytes (fileChecksum)
  std::optional<double> shapeVolume;      // of the packing shape, as its part file states it
};

/// What an import recorded beside its project for the export.
struct MeshManifest {
  std::vector<ManifestEntry> entries;
  // Length, width and height of the build volume when a margin shrank the container.
  std::optional<Point> buildVolume;
};

/// The file beside a project that tessera-import writes when parts are packed as wraps or the
/// container keeps a margin: "<project file name without extension>-meshes.txt".
std::string manifestPathOf(const std::string& projectPath);

/// "#TesseraMeshes 2"; ("BuildVolume", "L W H"); then per entry the lines "Part", name,
/// "Mesh", path, ("Item", k when k > 0), "Scale", factor, ("Checksum", 16 hex digits),
/// ("Volume", v), "----"; "#EndFile" last. Numbers in their shortest exact form.
void writeManifest(std::ostream& out, const MeshManifest& manifest);

/// Reads a manifest of this version or of version 1 (entries without checksum and volume);
/// throws InputError (standard error) naming the file and line.
MeshManifest readManifest(const std::string& path);

/// The manifest beside projectPath, or nothing when there is none.
std::optional<MeshManifest> readManifestBeside(const std::string& projectPath);

/// 64-bit FNV-1a of the file's bytes; throws ImportError naming path when it cannot be read.
std::uint64_t fileChecksum(const std::string& path);

/// The mesh file of entry as the file system finds it from the manifest's folder.
std::string meshFileOf(const std::string& manifestPath, const ManifestEntry& entry);

/// Original meshes by part name, scaled as at import (each vertex v becomes v * scale) and
/// split into triangles as the import splits faces.
using OriginalMeshes = std::map<std::string, MeshObject>;

/// The originals the manifest at manifestPath names, each checked against the part of its
/// name in the project: a recorded checksum must be the mesh file's, a recorded
/// volume the part's, and the original, moved as the part was parked, must lie within the
/// part's box (a packing shape encloses its mesh). Throws InputError naming the manifest or
/// the mesh that cannot be read or is not the part's; memoryBytes bounds a 3MF's expansion.
OriginalMeshes loadOriginals(const std::string& manifestPath, const MeshManifest& manifest,
                             const Project& project, std::int64_t memoryBytes);

/// What a project's manifest gives its exports.
struct ExportSources {
  OriginalMeshes originals;          // empty: every part appears as its packing shape
  std::optional<Point> buildVolume;  // see MeshManifest
};

/// The sources the manifest beside projectPath gives, the originals loaded and checked as
/// loadOriginals does; empty ones when there is no manifest.
ExportSources exportSourcesOf(const std::string& projectPath, const Project& project,
                              std::int64_t memoryBytes);

}  // namespace tessera
