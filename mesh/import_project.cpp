#include "mesh/import_project.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string_view>

#include "formats/file_group.h"
#include "formats/number_format.h"
#include "formats/project_loader.h"
#include "formats/run_files.h"
#include "formats/same_file.h"
#include "geometry/orientations.h"
#include "mesh/grid_slack.h"
#include "mesh/mesh_manifest.h"
#include "mesh/mesh_reader_3mf.h"
#include "mesh/polyhedron_writer.h"

namespace tessera {

namespace {

// The project reader takes at most 298 characters per line; a path line adds two quotation marks.
constexpr std::size_t kLongestPath = 296;

/// What one part type is made from: a whole mesh file, or one item of a 3MF plate's build.
struct PartSource {
  std::string meshPath;
  int item = 0;  // from 1 for a plate's item
  std::string name;
  int copies = 1;
  std::optional<RawMesh> mesh;  // a plate's item, read with its plate
  TurnRule turns;
  bool filler = false;

  /// How messages name the source.
  std::string label() const {
    return item == 0 ? meshPath : meshPath + " (item " + std::to_string(item) + ")";
  }
};

bool hasMeshExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".stl" || ext == ".obj" || ext == ".off" || ext == ".ply" || ext == ".3mf";
}

// Whether the solid's box fits within room (extents) in one orientation of the table RN gives
// that the rule allows.
bool fitsInSomeOrientation(const SolidMesh& solid, int RN, const TurnRule& rule,
                           const Point& room) {
  for (const Orientation& turn : buildOrientations(RN)) {
    if (!allowsTurn(rule, turn)) continue;
    Point low = apply(turn, solid.vertices[0]), high = low;
    for (const Point& v : solid.vertices) {
      const Point p = apply(turn, v);
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    if (high.x - low.x <= room.x && high.y - low.y <= room.y && high.z - low.z <= room.z)
      return true;
  }
  return false;
}

// Which mesh each part type was wrapped from, so that an export can show the originals. Paths
// run from the project's folder as the file system finds it, links resolved, so that they
// lead to the same files when the run enters the folder through a link.
std::vector<ManifestEntry> manifestEntries(const std::string& projectPath,
                                           const std::vector<PartSource>& sources,
                                           const std::vector<ImportedMesh>& imported,
                                           double scale) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // A project in the working folder has no parent path, and absolute("") is empty.
  fs::path parent = fs::path(projectPath).parent_path();
  if (parent.empty()) parent = ".";
  const fs::path folder = fs::weakly_canonical(fs::absolute(parent, ec), ec);
  std::vector<ManifestEntry> entries;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const PartSource& source = sources[i];
    const fs::path mesh = fs::weakly_canonical(fs::absolute(source.meshPath, ec), ec);
    fs::path relative = mesh.lexically_relative(folder);
    if (relative.empty()) relative = mesh;
    if (relative.string().size() > kLongestPath + 2)
      throw ImportError(importMessage(source.meshPath, 0, "the path is too long to record"));
    if (relative.string().find_first_of("\r\n") != std::string::npos)
      throw ImportError(importMessage(source.meshPath, 0,
                                      "the path holds a line break, which the meshes manifest "
                                      "cannot record; rename the folder or the file"));
    entries.push_back({source.name, relative.string(), source.item, scale,
                       fileChecksum(source.meshPath), imported[i].solid.volume});
  }
  return entries;
}

// An object's name can name its part when it can also name a file in the project's folder.
bool usableAsPartName(const std::string& name) {
  if (name.empty() || name.size() > 98 || name == "." || name == "..") return false;
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f ||
        std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
      return false;
  return true;
}

/// One part type per mesh file, and one per item of a 3MF plate's build, named after the
/// item's object where its name can serve and no earlier item has it, else after the file and
/// the item's number (made unique against the objects' names).
std::vector<PartSource> partSourcesOf(const std::vector<PartRequest>& parts,
                                      std::int64_t memoryBytes) {
  std::vector<PartSource> sources;
  for (const PartRequest& request : parts) {
    if (!is3mfPath(request.meshPath)) {
      sources.push_back({request.meshPath,
                         0,
                         baseName(request.meshPath),
                         request.copies,
                         {},
                         request.turns,
                         request.filler});
      continue;
    }
    std::vector<BuildItemMesh> items = read3mf(request.meshPath, memoryBytes);
    std::set<std::string> named;
    std::vector<std::string> names(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
      if (usableAsPartName(items[i].name) && named.insert(items[i].name).second)
        names[i] = items[i].name;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!names[i].empty()) continue;
      const std::string fallback = baseName(request.meshPath) + "-" + std::to_string(i + 1);
      names[i] = fallback;
      for (int n = 2; !named.insert(names[i]).second; ++n)
        names[i] = fallback + "-" + std::to_string(n);
    }
    for (std::size_t i = 0; i < items.size(); ++i)
      sources.push_back({request.meshPath, static_cast<int>(i) + 1, names[i], request.copies,
                         std::move(items[i].mesh), request.turns, request.filler});
  }
  return sources;
}

/// folder and those of its ancestors that do not exist yet, deepest first.
std::vector<std::filesystem::path> missingFolders(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> missing;
  std::error_code ec;
  for (std::filesystem::path at = folder; !at.empty() && !std::filesystem::exists(at, ec);
       at = at.parent_path()) {
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  return missing;
}

std::vector<SlackPart> slackPartsOf(const std::vector<PartSource>& sources,
                                    const std::vector<ImportedMesh>& imported) {
  std::vector<SlackPart> out;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const std::vector<Point>& v = imported[i].solid.vertices;
    Point low = v.front(), high = v.front();
    for (const Point& p : v) {
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    out.push_back({sources[i].name, minus(high, low), sources[i].copies});
  }
  return out;
}

}  // namespace

PartRequest parsePartRequest(const std::string& argument) {
  PartRequest request{argument, 1, {}, false};
  // Suffixes are taken from the end: "fill", then a rule, then a count, each optional.
  enum Step { fill, rule, count, done };
  Step next = fill;
  std::string rest = argument;
  while (next != done) {
    const auto colon = rest.find_last_of(':');
    if (colon == std::string::npos) break;
    const std::string suffix = rest.substr(colon + 1);
    const std::string before = rest.substr(0, colon);
    if (next == fill && suffix == "fill") {
      request.filler = true;
      next = rule;
    } else if (next <= rule && parseTurnRule(suffix)) {
      request.turns = *parseTurnRule(suffix);
      next = count;
    } else if (!suffix.empty() && suffix.find_first_not_of("+-0123456789") == std::string::npos) {
      // Only digits make a count, so a path that merely contains ':' stays whole.
      int copies = 0;
      auto [end, ec] = std::from_chars(suffix.data(), suffix.data() + suffix.size(), copies);
      if (ec != std::errc() || end != suffix.data() + suffix.size() || copies < 1)
        throw ImportError("'" + argument +
                          "': the copy count after ':' must be a positive integer");
      request.copies = copies;
      next = done;
    } else {
      break;
    }
    rest = before;
  }
  // After a mesh file's name, what is left must have been read above; elsewhere ':' may belong
  // to the path.
  if (const auto colon = rest.find_last_of(':');
      colon != std::string::npos && hasMeshExtension(rest.substr(0, colon)))
    throw ImportError("'" + argument + "': '" + rest.substr(colon + 1) +
                      "' is out of place or no copy count, turn rule or 'fill'; write "
                      "MESH[:COPIES][:RULE][:fill] with RULE one of " +
                      kTurnRuleForms);
  request.meshPath = rest;
  return request;
}

SolidMesh boxSolid(double length, double width, double height) {
  SolidMesh box;
  box.vertices = {{0, 0, 0},      {length, 0, 0},      {length, width, 0},      {0, width, 0},
                  {0, 0, height}, {length, 0, height}, {length, width, height}, {0, width, height}};
  box.edges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
               {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  box.faces = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};
  box.volume = length * width * height;
  box.centroid = {length / 2, width / 2, height / 2};
  return box;
}

SolidMesh boxSolid(const Point& low, const Point& high) {
  SolidMesh box = boxSolid(high.x - low.x, high.y - low.y, high.z - low.z);
  box.vertices = {{low.x, low.y, low.z},    {high.x, low.y, low.z}, {high.x, high.y, low.z},
                  {low.x, high.y, low.z},   {low.x, low.y, high.z}, {high.x, low.y, high.z},
                  {high.x, high.y, high.z}, {low.x, high.y, high.z}};
  box.centroid = {(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
  return box;
}

void writeProjectFile(std::ostream& out, double PBSL, int RN, const std::string& containerPath,
                      const std::vector<ProjectEntry>& parts) {
  out << "PBSL=" << formatExactNumber(PBSL) << "\nRN=" << RN << "\nContainer\n\"" << containerPath
      << "\"\n";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    out << (i == 0 ? "Parts" : "Next part") << "\n\"" << parts[i].path << "\"\nCopies\n"
        << parts[i].copies << '\n';
    if (!(parts[i].turns == TurnRule{}))
      out << kTurnsLine << '\n' << turnRuleText(parts[i].turns) << '\n';
    if (parts[i].filler) out << kFillerLine << '\n';
    out << "----\n";
  }
  out << "#EndFile\n";
}

void createProject(const std::string& projectPath, const ProjectSettings& settings,
                   const std::vector<PartRequest>& parts, std::ostream& log) {
  namespace fs = std::filesystem;
  auto positive = [](double v) { return v > 0.0 && std::isfinite(v); };
  if (!positive(settings.length) || !positive(settings.width) || !positive(settings.height))
    throw ImportError("the container's length, width and height must be positive numbers");
  if (!positive(settings.PBSL)) throw ImportError("PBSL must be a positive number");
  if (settings.RN < 1) throw ImportError("RN must be at least 1");
  if (parts.empty()) throw ImportError("a project needs at least one mesh");
  for (const PartRequest& part : parts)
    if (!ruleLeavesATurn(part.turns, settings.RN))
      throw ImportError(importMessage(
          part.meshPath, 0,
          "the turn rule " + turnRuleText(part.turns) + " allows none of the orientations of RN " +
              std::to_string(settings.RN) + "; choose another rule or a larger RN"));
  if (!(settings.margin >= 0.0) || !std::isfinite(settings.margin))
    throw ImportError("the margin must be a number of at least 0");
  if (!(settings.mesh.spacing >= 0.0) || !std::isfinite(settings.mesh.spacing))
    throw ImportError("the spacing must be a number of at least 0");
  // The packing shapes already keep spacing / 2 around each mesh, walls included.
  const double inset = std::max(0.0, settings.margin - settings.mesh.spacing / 2);
  const Point low{inset, inset, inset};
  const Point high{settings.length - inset, settings.width - inset, settings.height};
  if (!(high.x > low.x) || !(high.y > low.y) || !(high.z > low.z))
    throw ImportError("a margin of " + formatExactNumber(settings.margin) +
                      " leaves no room in the container " + formatExactNumber(settings.length) +
                      " x " + formatExactNumber(settings.width) + " x " +
                      formatExactNumber(settings.height));

  const fs::path project(projectPath);
  const fs::path folder = project.parent_path();
  const std::string containerFile = "container.txt";
  const std::string manifestOut = manifestPathOf(projectPath);
  // Part types are told apart by name, so names (and with them file names) must differ. The
  // manifest's name stays free even without one: a run would take such a part file for it.
  std::set<std::string> taken = {containerFile, project.filename().string(),
                                 fs::path(manifestOut).filename().string()};
  const std::vector<PartSource> sources = partSourcesOf(parts, settings.mesh.memoryBytes);
  for (const PartSource& source : sources) {
    checkPartName(source.name);
    const std::string file = source.name + ".txt";
    if (file.size() > kLongestPath)
      throw ImportError("the part file name '" + file + "' is too long for a project file");
    if (isRunFileName(file))
      throw ImportError("'" + source.label() + "' would be written to '" + file +
                        "', which tessera overwrites with its own output when it runs the "
                        "project; rename the mesh");
    if (!taken.insert(file).second)
      throw ImportError("'" + source.label() + "' would be written to '" + file +
                        "', which another mesh or the project already uses; rename the mesh");
  }
  const std::string containerOut = (folder / containerFile).string();
  std::vector<std::string> outs;
  for (const PartSource& source : sources)
    outs.push_back((folder / (source.name + ".txt")).string());
  // No file the import writes or removes may be one of the meshes it reads.
  std::vector<std::string> written = outs;
  written.insert(written.end(), {containerOut, projectPath, manifestOut});
  for (const PartSource& source : sources)
    for (const std::string& out : written)
      if (sameFile(out, source.meshPath))
        throw ImportError(importMessage(source.meshPath, 0,
                                        "the import would replace this mesh with '" + out +
                                            "'; choose another project or output name"));

  std::vector<ImportedMesh> imported;
  for (const PartSource& source : sources)
    imported.push_back(source.mesh ? importRawMesh(*source.mesh, source.label(), settings.mesh)
                                   : importMesh(source.meshPath, settings.mesh));
  if (settings.margin > 0.0 || settings.mesh.spacing > 0.0)
    for (std::size_t i = 0; i < sources.size(); ++i)
      if (!fitsInSomeOrientation(imported[i].solid, settings.RN, sources[i].turns,
                                 minus(high, low)))
        throw ImportError(importMessage(sources[i].label(), 0,
                                        "the part's packing shape fits the container (less the "
                                        "margin) in no orientation"));
  // The manifest records the originals of wrapped parts and the build volume a margin
  // shrank; a project with neither has none, and an earlier one goes.
  std::optional<MeshManifest> manifest;
  if (settings.mesh.wraps() || inset > 0.0) {
    manifest.emplace();
    if (settings.mesh.wraps())
      manifest->entries = manifestEntries(projectPath, sources, imported, settings.mesh.scale);
    if (inset > 0.0)
      manifest->buildVolume = Point{settings.length, settings.width, settings.height};
  }

  // Every file is written in full before any is put in place, and they are put in place
  // together, so that a failure (a full disk, a folder under a file's name) leaves the folder
  // as it was.
  const std::vector<fs::path> createdFolders = missingFolders(folder);
  std::error_code ec;
  if (!folder.empty()) fs::create_directories(folder, ec);
  FileGroup files;
  std::vector<ProjectEntry> entries;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    writePolyhedronFile(files.replace(outs[i]), sources[i].name, imported[i].solid);
    entries.push_back(
        {sources[i].name + ".txt", sources[i].copies, sources[i].turns, sources[i].filler});
  }
  const SolidMesh container = inset > 0.0
                                  ? boxSolid(low, high)
                                  : boxSolid(settings.length, settings.width, settings.height);
  writePolyhedronFile(files.replace(containerOut), "Container", container);
  writeProjectFile(files.replace(projectPath), settings.PBSL, settings.RN, containerFile, entries);
  if (manifest)
    writeManifest(files.replace(manifestOut), *manifest);
  else
    files.remove(manifestOut);
  std::optional<FileGroup::Failure> failure = files.stage();
  if (!failure) failure = files.commit();
  if (failure) {
    for (const fs::path& created : createdFolders) fs::remove(created, ec);
    throw ImportError(importMessage(
        failure->path, 0,
        "cannot create the file (" + failure->why + "); no file of the project was changed"));
  }

  for (std::size_t i = 0; i < sources.size(); ++i)
    log << importSummary(sources[i].label(), outs[i], imported[i], settings.mesh.hull);
  log << "container " << containerOut << ": box " << settings.length << " x " << settings.width
      << " x " << settings.height;
  if (inset > 0.0)
    log << ", parts kept in " << formatPoint(low) << " to " << formatPoint(high) << " (margin "
        << settings.margin << ")";
  log << '\n';
  log << gridSlackWarnings(slackPartsOf(sources, imported), minus(high, low), settings.PBSL);
  log << "project " << projectPath << ": " << sources.size() << " part types\n";
  if (settings.mesh.wraps())
    log << "meshes " << manifestOut << ": the original of each part type, for the export\n";
  else if (manifest)
    log << "meshes " << manifestOut << ": the build volume, for the export\n";
}

}  // namespace tessera
