#include "mesh/mesh_manifest.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "formats/number_format.h"
#include "formats/text_lines.h"
#include "mesh/mesh_reader.h"
#include "mesh/mesh_reader_3mf.h"
#include "mesh/packing_shape.h"
#include "model/layout.h"

namespace tessera {

namespace {

constexpr const char* kHeading = "#TesseraMeshes 2";
constexpr const char* kFirstHeading = "#TesseraMeshes 1";

InputError manifestError(const std::string& path, int line, const std::string& detail) {
  return InputError(lineError(path, line, detail).what(), InputError::Channel::StandardError);
}

InputError notThePart(const std::string& file, const std::string& what) {
  return InputError(
      file + ": " + what + "; import the project again so that the export shows what is packed",
      InputError::Channel::StandardError);
}

std::string checksumText(std::uint64_t checksum) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(checksum));
  return text;
}

/// A finite number filling the whole text.
bool parseNumber(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

/// The mesh of entry as the import read it, scaled.
RawMesh readOriginal(const std::string& manifestPath, const ManifestEntry& entry,
                     std::int64_t memoryBytes) {
  const std::string mesh = meshFileOf(manifestPath, entry);
  try {
    if (entry.checksum && fileChecksum(mesh) != *entry.checksum)
      throw notThePart(mesh, "the mesh changed after " + manifestPath +
                                 " recorded it (its bytes are not those imported)");
    if (entry.item == 0) return readMesh(mesh, memoryBytes);
    std::vector<BuildItemMesh> items = read3mf(mesh, memoryBytes);
    if (static_cast<std::size_t>(entry.item) > items.size())
      throw ImportError(
          importMessage(mesh, 0, "the build has no item " + std::to_string(entry.item)));
    return std::move(items[static_cast<std::size_t>(entry.item) - 1].mesh);
  } catch (const ImportError& e) {
    throw InputError(std::string(e.what()) + " (named by " + manifestPath + ")",
                     InputError::Channel::StandardError);
  }
}

/// Refuses an original that cannot be what part was made from.
void checkAgainstPart(const std::string& manifestPath, const ManifestEntry& entry,
                      const MeshObject& original, const Part& part, const Motion& parking,
                      const std::vector<Orientation>& orientations) {
  if (entry.shapeVolume && *entry.shapeVolume != part.volume)
    throw notThePart(manifestPath, "part '" + entry.partName + "' has the volume " +
                                       formatExactNumber(part.volume) + ", not the " +
                                       formatExactNumber(*entry.shapeVolume) +
                                       " of the packing shape recorded with its mesh");
  // Moves keep the order of coordinates, so an original inside its shape stays inside it.
  for (const std::vector<int>& face : original.faces)
    for (const int corner : face) {
      const Point p =
          applyMotion(parking, orientations, original.vertices[static_cast<std::size_t>(corner)]);
      if (p.x < part.boxMin.x || p.y < part.boxMin.y || p.z < part.boxMin.z ||
          p.x > part.boxMax.x || p.y > part.boxMax.y || p.z > part.boxMax.z)
        throw notThePart(meshFileOf(manifestPath, entry),
                         "the mesh does not lie within the packing shape of part '" +
                             entry.partName +
                             "' (the mesh or the part file changed after the "
                             "import)");
    }
}

}  // namespace

std::string manifestPathOf(const std::string& projectPath) {
  const std::filesystem::path project(projectPath);
  return (project.parent_path() / (project.stem().string() + "-meshes.txt")).string();
}

void writeManifest(std::ostream& out, const MeshManifest& manifest) {
  out << kHeading << '\n';
  if (manifest.buildVolume) {
    const Point& v = *manifest.buildVolume;
    out << "BuildVolume\n"
        << formatExactNumber(v.x) << ' ' << formatExactNumber(v.y) << ' ' << formatExactNumber(v.z)
        << '\n';
  }
  for (const ManifestEntry& entry : manifest.entries) {
    out << "Part\n" << entry.partName << "\nMesh\n" << entry.meshPath << '\n';
    if (entry.item > 0) out << "Item\n" << entry.item << '\n';
    out << "Scale\n" << formatExactNumber(entry.scale) << '\n';
    if (entry.checksum) out << "Checksum\n" << checksumText(*entry.checksum) << '\n';
    if (entry.shapeVolume) out << "Volume\n" << formatExactNumber(*entry.shapeVolume) << '\n';
    out << "----\n";
  }
  out << "#EndFile\n";
}

MeshManifest readManifest(const std::string& path) {
  std::ifstream in = openInputFile(path, std::ios::in | std::ios::binary);
  TextLines lines(in, path);
  auto fail = [&](const std::string& detail) {
    return manifestError(path, lines.lineNumber(), detail);
  };
  auto expect = [&](const std::string& keyword) {
    if (lines.require(keyword) != keyword) throw fail("expected \"" + keyword + "\"");
  };
  const std::string heading = lines.require(kHeading);
  if (heading != kHeading && heading != kFirstHeading)
    throw fail("expected \"" + std::string(kHeading) + "\"");
  MeshManifest manifest;
  std::string line = lines.require("#EndFile");
  if (line == "BuildVolume") {
    const std::string text = lines.require("the build volume");
    double x = 0, y = 0, z = 0;
    const auto first = text.find(' '), second = text.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos ||
        !parseNumber(text.substr(0, first), x) ||
        !parseNumber(text.substr(first + 1, second - first - 1), y) ||
        !parseNumber(text.substr(second + 1), z) || !(x > 0 && y > 0 && z > 0))
      throw fail("the build volume must be three positive numbers");
    manifest.buildVolume = Point{x, y, z};
    line = lines.require("#EndFile");
  }
  while (line != "#EndFile") {
    if (line != "Part") throw fail("expected \"Part\"");
    ManifestEntry entry;
    entry.partName = lines.require("the part name");
    expect("Mesh");
    entry.meshPath = lines.require("the mesh path");
    std::string keyword = lines.require("\"Scale\"");
    if (keyword == "Item") {
      const std::string item = lines.require("the item number");
      auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), entry.item);
      if (ec != std::errc() || end != item.data() + item.size() || entry.item < 1)
        throw fail("the item must be a whole number from 1");
      keyword = lines.require("\"Scale\"");
    }
    if (keyword != "Scale") throw fail("expected \"Scale\"");
    if (!parseNumber(lines.require("the scale"), entry.scale) || !(entry.scale > 0.0))
      throw fail("the scale must be a positive number");
    keyword = lines.require("----");
    if (keyword == "Checksum") {
      const std::string text = lines.require("the checksum");
      std::uint64_t checksum = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), checksum, 16);
      if (text.size() != 16 || ec != std::errc() || end != text.data() + text.size())
        throw fail("the checksum must be 16 hexadecimal digits");
      entry.checksum = checksum;
      keyword = lines.require("----");
    }
    if (keyword == "Volume") {
      double volume = 0.0;
      if (!parseNumber(lines.require("the volume"), volume))
        throw fail("the volume must be a number");
      entry.shapeVolume = volume;
      keyword = lines.require("----");
    }
    if (keyword != "----") throw fail("expected \"----\"");
    manifest.entries.push_back(std::move(entry));
    line = lines.require("#EndFile");
  }
  return manifest;
}

std::optional<MeshManifest> readManifestBeside(const std::string& projectPath) {
  const std::string path = manifestPathOf(projectPath);
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return std::nullopt;
  return readManifest(path);
}

std::uint64_t fileChecksum(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ImportError(importMessage(path, 0, "cannot open the file"));
  std::uint64_t hash = 14695981039346656037ULL;
  char buffer[1 << 16];
  while (in) {
    in.read(buffer, sizeof buffer);
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash ^= static_cast<unsigned char>(buffer[i]);
      hash *= 1099511628211ULL;
    }
  }
  if (in.bad()) throw ImportError(importMessage(path, 0, "cannot read the file"));
  return hash;
}

std::string meshFileOf(const std::string& manifestPath, const ManifestEntry& entry) {
  return (std::filesystem::path(manifestPath).parent_path() / entry.meshPath).string();
}

OriginalMeshes loadOriginals(const std::string& manifestPath, const MeshManifest& manifest,
                             const Project& project, std::int64_t memoryBytes) {
  OriginalMeshes originals;
  for (const ManifestEntry& entry : manifest.entries) {
    const RawMesh raw = readOriginal(manifestPath, entry, memoryBytes);
    MeshObject object{entry.partName, {}, {}};
    try {
      // The arithmetic and the face splitting of the import, so that the original lies
      // exactly where it was wrapped.
      const TriangleSoup soup = soupOf(raw, entry.scale, meshFileOf(manifestPath, entry));
      object.vertices = soup.vertices;
      for (const auto& t : soup.triangles) object.faces.push_back({t[0], t[1], t[2]});
    } catch (const ImportError& e) {
      throw InputError(std::string(e.what()) + " (named by " + manifestPath + ")",
                       InputError::Channel::StandardError);
    }
    const auto part = std::find_if(project.parts.begin(), project.parts.end(),
                                   [&](const Part& p) { return p.name == entry.partName; });
    if (part != project.parts.end())
      checkAgainstPart(manifestPath, entry, object, *part,
                       parkedPlacement(project, part->id).motion, project.orientationTable);
    originals[entry.partName] = std::move(object);
  }
  return originals;
}

ExportSources exportSourcesOf(const std::string& projectPath, const Project& project,
                              std::int64_t memoryBytes) {
  const std::optional<MeshManifest> manifest = readManifestBeside(projectPath);
  if (!manifest) return {};
  return {loadOriginals(manifestPathOf(projectPath), *manifest, project, memoryBytes),
          manifest->buildVolume};
}

}  // namespace tessera
