// tessera-import: CAD meshes (STL, OBJ, OFF, PLY, 3MF) in, polyhedron files and projects out.
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "formats/same_file.h"
#include "mesh/esicup_import.h"
#include "mesh/import_project.h"
#include "mesh/mesh_import.h"
#include "mesh/mesh_reader_3mf.h"
#include "platform/interrupt.h"
#include "platform/memory.h"

namespace {

constexpr const char* kUsage =
    R"(Usage:
  tessera-import MESH [-o OUT.txt] [--name NAME] [--scale S] [--unit mm|cm|m|in]
                 [--hull | --wrap] [--spacing D] [--detail N]
  tessera-import --project PROJECT.txt --container L W H [--pbsl X] [--rn N]
                 [--scale S] [--unit mm|cm|m|in] [--hull | --wrap] [--spacing D]
                 [--detail N] [--margin M] MESH[:COPIES][:RULE][:fill] ...
  tessera-import --esicup INSTANCE.json --project PROJECT.txt [--meshes DIR] [--height H]
                 [--pbsl X] [--rn N] [--scale S] [--unit U] [--hull | --wrap] [--spacing D]
                 [--detail N] [--margin M]

Reads a mesh (binary or ASCII STL, OBJ, OFF, ASCII or binary PLY, 3MF) and writes it as a
polyhedron file. A 3MF file gives every item of its build where the build places it, in
millimetres converted from the unit the file states.
Equal vertices are welded and faces without area dropped; the mesh must then be a
closed, consistently oriented solid made of one shell (an inward-facing one is turned).

  -o OUT.txt        output file (default: the mesh's name with .txt, next to the mesh)
  --name NAME       name line of the part (default: the mesh's file name without extension)
  --scale S         multiply every coordinate by S
  --unit U          the mesh's unit, converted to millimetres (mm, cm, m, in); combines with --scale
  --hull            replace the part by its convex hull (fewer faces, faster placement;
                    the mesh then need not be closed)
  --wrap            pack a wrap of the mesh instead: a closed solid around it, so the mesh
                    may be open, in several shells, non-manifold or self-intersecting
  --spacing D       wrap every part so that any two packed meshes stay at least D apart
                    (implies --wrap; default 0)
  --detail N        the wrap's level of detail (default 7): more gives closer wraps with
                    more faces

Project mode writes, next to PROJECT.txt, one part file per mesh (named after the mesh),
container.txt (the box from 0,0,0 to L,W,H) and the project file itself.
  --container L W H the container box
  --pbsl X          cell edge PBSL (default 1)
  --rn N            orientation parameter RN (default 4)
  --margin M        keep every mesh at least M from the container's walls and floor
  MESH:COPIES       a mesh and its number of copies (default 1); each item of a 3MF
                    plate becomes a part type, named after its object
  MESH:...:RULE     how its parts may turn, within the orientations of RN: all (default),
                    upright (only about the vertical axis), none (as the mesh lies),
                    down=S or up=S (keep side S of the mesh's box down or up; S one of
                    +x -x +y -y +z -z)
  MESH:...:fill     a filler: as many copies as fit, after the other parts

ESICUP mode reads an instance of the ESICUP 3D irregular strip packing set (JSON) and writes
its project as project mode does. Item meshes are looked up from the instance's folder and
the folders above it.
  --meshes DIR      take an item's mesh from DIR by its file name where DIR has it
                    (repaired copies of meshes that are not closed)
  --height H        the container's height (default: four times the height the parts'
                    volume fills on the base plus twice the longest part, rounded up to 10)
  --pbsl X          default: the base's longer side / 60, rounded down to one figure
  --rn N            default: the smallest RN that holds every rotation the instance allows
                    (its items' "allowed-rotations"; none: translations only)

Exit status: 0 on success, 1 on bad input.
)";

struct BadArguments : std::runtime_error {
  using std::runtime_error::runtime_error;
};

double number(const std::string& option, const std::string& text) {
  double v = 0.0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
    throw BadArguments(option + ": '" + text + "' is not a number");
  return v;
}

int integer(const std::string& option, const std::string& text) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size())
    throw BadArguments(option + ": '" + text + "' is not an integer");
  return v;
}

int run(const std::vector<std::string>& args) {
  using namespace tessera;
  std::string out, name, project, esicup, meshFolder, unit = "mm";
  bool hasPBSL = false, hasRN = false, hasHeight = false;
  double scale = 1.0, spacing = 0.0, detail = kDefaultDetail;
  bool hull = false, wrap = false, hasContainer = false, hasName = false, hasUnit = false;
  ProjectSettings settings;
  std::vector<std::string> meshes;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw BadArguments(a + " needs a value");
      return args[++i];
    };
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "-o") {
      out = value();
    } else if (a == "--name") {
      name = value();
      hasName = true;
    } else if (a == "--scale") {
      scale = number(a, value());
      if (!(scale > 0.0)) throw BadArguments("--scale must be positive");
    } else if (a == "--unit") {
      unit = value();
      hasUnit = true;
      if (millimetresPer(unit) == 0.0) throw BadArguments("--unit must be mm, cm, m or in");
    } else if (a == "--hull") {
      hull = true;
    } else if (a == "--wrap") {
      wrap = true;
    } else if (a == "--spacing") {
      spacing = number(a, value());
      if (!(spacing >= 0.0)) throw BadArguments("--spacing must be at least 0");
    } else if (a == "--detail") {
      detail = number(a, value());
      if (!(detail > 0.0)) throw BadArguments("--detail must be positive");
    } else if (a == "--margin") {
      settings.margin = number(a, value());
      if (!(settings.margin >= 0.0)) throw BadArguments("--margin must be at least 0");
    } else if (a == "--project") {
      project = value();
    } else if (a == "--container") {
      settings.length = number(a, value());
      settings.width = number(a, value());
      settings.height = number(a, value());
      hasContainer = true;
    } else if (a == "--pbsl") {
      settings.PBSL = number(a, value());
      hasPBSL = true;
    } else if (a == "--rn") {
      settings.RN = integer(a, value());
      hasRN = true;
    } else if (a == "--esicup") {
      esicup = value();
    } else if (a == "--meshes") {
      meshFolder = value();
    } else if (a == "--height") {
      settings.height = number(a, value());
      if (!(settings.height > 0.0)) throw BadArguments("--height must be positive");
      hasHeight = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw BadArguments("unknown option " + a);
    } else {
      meshes.push_back(a);
    }
  }
  if (hasUnit)
    for (const std::string& m : meshes)
      if (is3mfPath(parsePartRequest(m).meshPath))
        throw BadArguments("--unit does not apply to " + m + ": a 3MF file states its own unit");
  const MeshImportOptions options{scale * millimetresPer(unit),
                                  hull,
                                  wrap,
                                  spacing,
                                  detail,
                                  platform::availableMemoryBytes().value_or(-1)};
  if (hull && options.wraps())
    throw BadArguments("--hull cannot be combined with --wrap or --spacing");

  if (!esicup.empty()) {
    if (project.empty()) throw BadArguments("--esicup needs --project PROJECT.txt");
    if (hasContainer)
      throw BadArguments("--esicup takes the container's base from the instance; give --height");
    if (!meshes.empty() || !out.empty() || hasName)
      throw BadArguments("--esicup takes its meshes from the instance");
    if (hasPBSL && !(settings.PBSL > 0.0)) throw BadArguments("--pbsl must be positive");
    if (hasRN && settings.RN < 1) throw BadArguments("--rn must be at least 1");
    if (!hasPBSL) settings.PBSL = 0.0;
    if (!hasRN) settings.RN = 0;
    settings.mesh = options;
    createEsicupProject(esicup, meshFolder, project, settings, std::cout);
    return 0;
  }
  if (hasHeight || !meshFolder.empty()) throw BadArguments("--height and --meshes need --esicup");
  if (!project.empty()) {
    if (!hasContainer) throw BadArguments("--project needs --container L W H");
    if (!out.empty() || hasName)
      throw BadArguments("-o and --name apply to a single mesh, not to --project");
    std::vector<PartRequest> parts;
    for (const std::string& m : meshes) parts.push_back(parsePartRequest(m));
    settings.mesh = options;
    createProject(project, settings, parts, std::cout);
    return 0;
  }
  if (hasContainer) throw BadArguments("--container needs --project");
  if (settings.margin > 0.0) throw BadArguments("--margin needs --project");
  if (meshes.size() != 1) throw BadArguments("give exactly one mesh file");
  const std::string& mesh = meshes[0];
  if (!hasName) name = baseName(mesh);
  checkPartName(name);
  if (out.empty())
    out = (std::filesystem::path(mesh).parent_path() / (baseName(mesh) + ".txt")).string();
  if (sameFile(out, mesh))
    throw BadArguments("-o " + out + " is the mesh itself; the import never replaces its input");
  const ImportedMesh imported = importMesh(mesh, options);
  writePolyhedronFile(out, name, imported.solid);
  std::cout << importSummary(mesh, out, imported, hull);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  tessera::platform::ignoreFileSizeSignal();
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const BadArguments& e) {
    std::cerr << "tessera-import: " << e.what() << "\n(tessera-import --help explains the usage)\n";
  } catch (const std::exception& e) {
    std::cerr << "tessera-import: " << e.what() << '\n';
  }
  return 1;
}
