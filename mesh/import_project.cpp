#include "mesh/import_project.h"

#include "formats/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>

#include "mesh/grid_slack.h"
#include "mesh/polyhedron_writer.h"

namespace tessera {

namespace {

// The project reader takes at most 298 characters per line; a path line adds two quotation marks.
constexpr std::size_t kLongestPath = 296;

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
    if (!taken.insert(file).second)
      throw ImportError("'" + request.meshPath + "' would be written to '" + file +
                        "', which another mesh or the project already uses; rename the mesh");
    names.push_back(name);
  }

  std::vector<ImportedMesh> imported;
  for (const PartRequest& request : parts) imported.push_back(importMesh(request.meshPath, settings.mesh));

  std::error_code ec;
  if (!folder.empty()) fs::create_directories(folder, ec);
  std::vector<ProjectEntry> entries;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string file = names[i] + ".txt";
    const std::string out = (folder / file).string();
    writePolyhedronFile(out, names[i], imported[i].solid);
    log << importSummary(parts[i].meshPath, out, imported[i], settings.mesh.hull);
    entries.push_back({file, parts[i].copies});
  }
  const std::string containerOut = (folder / containerFile).string();
  writePolyhedronFile(containerOut, "Container",
                      boxSolid(settings.length, settings.width, settings.height));
  log << "container " << containerOut << ": box " << settings.length << " x " << settings.width
      << " x " << settings.height << '\n';
  log << gridSlackWarnings(slackPartsOf(names, imported, parts),
                           {settings.length, settings.width, settings.height}, settings.PBSL);

  std::ofstream out(projectPath, std::ios::binary);
  if (!out) throw ImportError(importMessage(projectPath, 0, "cannot create the file"));
  writeProjectFile(out, settings.PBSL, settings.RN, containerFile, entries);
  out.close();
  if (!out) throw ImportError(importMessage(projectPath, 0, "writing the file failed"));
  log << "project " << projectPath << ": " << parts.size() << " part types\n";
}

}  // namespace tessera
