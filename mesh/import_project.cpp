#include "mesh/import_project.h"

#include "formats/number_format.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <memory>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>

#include "formats/atomic_file.h"
#include "mesh/grid_slack.h"
#include "mesh/polyhedron_writer.h"

namespace tessera {

namespace {

// The project reader takes at most 298 characters per line; a path line adds two quotation marks.
constexpr std::size_t kLongestPath = 296;

// What a run of tessera writes in the project's folder under a part file's name.
const std::string kRunOutputs[] = {"report.txt", "report2.txt", "ID_Type_SequenceForPack.txt"};

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

std::vector<SlackPart> slackPartsOf(const std::vector<std::string>& names,
                                    const std::vector<ImportedMesh>& imported,
                                    const std::vector<PartRequest>& parts) {
  std::vector<SlackPart> out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::vector<Point>& v = imported[i].solid.vertices;
    Point low = v.front(), high = v.front();
    for (const Point& p : v) {
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    out.push_back({names[i], minus(high, low), parts[i].copies});
  }
  return out;
}

}  // namespace

PartRequest parsePartRequest(const std::string& argument) {
  const auto colon = argument.find_last_of(':');
  if (colon == std::string::npos) return {argument, 1};
  const std::string count = argument.substr(colon + 1);
  // Only digits make a count, so a path that merely contains ':' stays whole.
  if (count.empty() || count.find_first_not_of("+-0123456789") != std::string::npos)
    return {argument, 1};
  int copies = 0;
  auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), copies);
  if (ec != std::errc() || end != count.data() + count.size() || copies < 1)
    throw ImportError("'" + argument + "': the copy count after ':' must be a positive integer");
  return {argument.substr(0, colon), copies};
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

void writeProjectFile(std::ostream& out, double PBSL, int RN, const std::string& containerPath,
                      const std::vector<ProjectEntry>& parts) {
  out << "PBSL=" << formatExactNumber(PBSL) << "\nRN=" << RN << "\nContainer\n\"" << containerPath
      << "\"\n";
  for (std::size_t i = 0; i < parts.size(); ++i)
    out << (i == 0 ? "Parts" : "Next part") << "\n\"" << parts[i].path << "\"\nCopies\n"
        << parts[i].copies << "\n----\n";
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

  const fs::path project(projectPath);
  const fs::path folder = project.parent_path();
  const std::string containerFile = "container.txt";
  // Part types are told apart by name, so names (and with them file names) must differ.
  std::set<std::string> taken = {containerFile, project.filename().string()};
  std::vector<std::string> names;
  for (const PartRequest& request : parts) {
    const std::string name = baseName(request.meshPath);
    checkPartName(name);
    const std::string file = name + ".txt";
    if (file.size() > kLongestPath)
      throw ImportError("the part file name '" + file + "' is too long for a project file");
    if (std::find(std::begin(kRunOutputs), std::end(kRunOutputs), file) != std::end(kRunOutputs))
      throw ImportError("'" + request.meshPath + "' would be written to '" + file +
                        "', which tessera overwrites with its own output when it runs the "
                        "project; rename the mesh");
    if (!taken.insert(file).second)
      throw ImportError("'" + request.meshPath + "' would be written to '" + file +
                        "', which another mesh or the project already uses; rename the mesh");
    names.push_back(name);
  }

  std::vector<ImportedMesh> imported;
  for (const PartRequest& request : parts) imported.push_back(importMesh(request.meshPath, settings.mesh));

  // Every file is written in full before any is put in place, so that a failure (a full disk)
  // leaves the folder as it was.
  const std::vector<fs::path> createdFolders = missingFolders(folder);
  std::error_code ec;
  if (!folder.empty()) fs::create_directories(folder, ec);
  std::vector<std::unique_ptr<AtomicFile>> files;
  auto stage = [&](const std::string& path, auto write) {
    files.push_back(std::make_unique<AtomicFile>(path));
    write(files.back()->stream());
    if (!files.back()->stage()) {
      const std::string why = files.back()->failure();
      files.clear();
      for (const fs::path& created : createdFolders) fs::remove(created, ec);
      throw ImportError(importMessage(path, 0, "cannot create the file (" + why +
                                                   "); no file of the project was changed"));
    }
  };
  std::vector<ProjectEntry> entries;
  std::vector<std::string> outs;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string file = names[i] + ".txt";
    outs.push_back((folder / file).string());
    stage(outs.back(), [&](std::ostream& out) { writePolyhedronFile(out, names[i], imported[i].solid); });
    entries.push_back({file, parts[i].copies});
  }
  const std::string containerOut = (folder / containerFile).string();
  const SolidMesh container = boxSolid(settings.length, settings.width, settings.height);
  stage(containerOut, [&](std::ostream& out) { writePolyhedronFile(out, "Container", container); });
  stage(projectPath, [&](std::ostream& out) {
    writeProjectFile(out, settings.PBSL, settings.RN, containerFile, entries);
  });
  for (const auto& file : files)
    if (!file->commit())
      throw ImportError(importMessage(projectPath, 0, "putting a written file in place failed (" +
                                                          file->failure() + ")"));

  for (std::size_t i = 0; i < parts.size(); ++i)
    log << importSummary(parts[i].meshPath, outs[i], imported[i], settings.mesh.hull);
  log << "container " << containerOut << ": box " << settings.length << " x " << settings.width
      << " x " << settings.height << '\n';
  log << gridSlackWarnings(slackPartsOf(names, imported, parts),
                           {settings.length, settings.width, settings.height}, settings.PBSL);
  log << "project " << projectPath << ": " << parts.size() << " part types\n";
}

}  // namespace tessera
