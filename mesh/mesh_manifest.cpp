#include "mesh/mesh_manifest.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <ostream>

#include "formats/number_format.h"
#include "formats/text_lines.h"
#include "mesh/mesh_reader.h"
#include "mesh/mesh_reader_3mf.h"

namespace tessera {

namespace {

constexpr const char* kHeading = "#TesseraMeshes 1";

InputError manifestError(const std::string& path, int line, const std::string& detail) {
  return InputError(lineError(path, line, detail).what(), InputError::Channel::StandardError);
}

}  // namespace

std::string manifestPathOf(const std::string& projectPath) {
  const std::filesystem::path project(projectPath);
  return (project.parent_path() / (project.stem().string() + "-meshes.txt")).string();
}

void writeManifest(std::ostream& out, const std::vector<ManifestEntry>& entries) {
  out << kHeading << '\n';
  for (const ManifestEntry& entry : entries)
  {
    out << "Part\n" << entry.partName << "\nMesh\n" << entry.meshPath << '\n';
    if (entry.item > 0) out << "Item\n" << entry.item << '\n';
    out << "Scale\n" << formatExactNumber(entry.scale) << "\n----\n";
  }
  out << "#EndFile\n";
}

std::vector<ManifestEntry> readManifest(const std::string& path) {
  std::ifstream in = openInputFile(path, std::ios::in | std::ios::binary);
  TextLines lines(in, path);
  auto expect = [&](const std::string& keyword) {
    if (lines.require(keyword) != keyword)
      throw manifestError(path, lines.lineNumber(), "expected \"" + keyword + "\"");
  };
  expect(kHeading);
  std::vector<ManifestEntry> entries;
  std::string line;
  while (true) {
    line = lines.require("#EndFile");
    if (line == "#EndFile") return entries;
    if (line != "Part") throw manifestError(path, lines.lineNumber(), "expected \"Part\"");
    ManifestEntry entry;
    entry.partName = lines.require("the part name");
    expect("Mesh");
    entry.meshPath = lines.require("the mesh path");
    std::string keyword = lines.require("\"Scale\"");
    if (keyword == "Item") {
      const std::string item = lines.require("the item number");
      auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), entry.item);
      if (ec != std::errc() || end != item.data() + item.size() || entry.item < 1)
        throw manifestError(path, lines.lineNumber(), "the item must be a whole number from 1");
      keyword = lines.require("\"Scale\"");
    }
    if (keyword != "Scale") throw manifestError(path, lines.lineNumber(), "expected \"Scale\"");
    const std::string scale = lines.require("the scale");
    auto [end, ec] = std::from_chars(scale.data(), scale.data() + scale.size(), entry.scale);
    if (ec != std::errc() || end != scale.data() + scale.size() || !(entry.scale > 0.0) ||
        !std::isfinite(entry.scale))
      throw manifestError(path, lines.lineNumber(), "the scale must be a positive number");
    expect("----");
    entries.push_back(std::move(entry));
  }
}

std::optional<OriginalMeshes> loadOriginals(const std::string& projectPath) {
  const std::string path = manifestPathOf(projectPath);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return std::nullopt;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  OriginalMeshes originals;
  for (const ManifestEntry& entry : readManifest(path)) {
    const std::filesystem::path mesh = folder / entry.meshPath;
    RawMesh raw;
    try {
      if (entry.item == 0) {
        raw = readMesh(mesh.string());
      } else {
        std::vector<BuildItemMesh> items = read3mf(mesh.string());
        if (static_cast<std::size_t>(entry.item) > items.size())
          throw ImportError(importMessage(mesh.string(), 0,
                                          "the build has no item " + std::to_string(entry.item)));
        raw = std::move(items[static_cast<std::size_t>(entry.item) - 1].mesh);
      }
    } catch (const ImportError& e) {
      throw InputError(std::string(e.what()) + " (named by " + path + ")",
                       InputError::Channel::StandardError);
    }
    MeshObject object{entry.partName, {}, {}};
    // The arithmetic of the import, so that the original lies exactly where it was wrapped.
    for (const Point& v : raw.vertices)
      object.vertices.push_back({v.x * entry.scale, v.y * entry.scale, v.z * entry.scale});
    for (const std::vector<int>& ring : raw.faces)
      for (std::size_t i = 1; i + 1 < ring.size(); ++i)
        object.faces.push_back({ring[0], ring[i], ring[i + 1]});
    originals[entry.partName] = std::move(object);
  }
  return originals;
}

}  // namespace tessera
