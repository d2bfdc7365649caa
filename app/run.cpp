#include "app/run.h"

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "formats/dxf_writer.h"
#include "mesh/layout_export.h"
#include "app/progress_console.h"
#include "page/layout_page.h"
#include "picture/layout_scene.h"
#include "formats/project_loader.h"
#include "formats/report_writer.h"
#include "model/input_error.h"
#include "model/packing_system.h"
#include "model/solid_checks.h"
#include "placement/fast_evaluation.h"
#include "placement/occupancy_grid.h"
#include "placement/voxelise.h"
#include "platform/file_chooser.h"
#include "search/optimizer.h"
#include "search/pause.h"
#include "search/random.h"

namespace tessera {

namespace {

std::string chooseProjectFile(const Arguments& arguments, platform::Console& console) {
  if (arguments.project) return platform::enterProjectFolder(*arguments.project);
  if (std::optional<std::string> chosen = platform::chooseFile(console)) return *chosen;
  console.warning("文件打开失败!");
  return {};  // the loader then reports the empty path
}

ExportContent exportContentOf(const Arguments& arguments, const OriginalMeshes* originals) {
  return {arguments.exportContainer, originals, arguments.exportShapes};
}

int evaluateOnce(const Arguments& arguments, PackingSystem& system, const Evaluator& evaluator,
                 platform::Console& console, const OriginalMeshes* originals) {
  buildGrid(system);
  system.buildOrientations();
  PackingSequence identity;
  for (int i = 0; i < system.sequenceLength; ++i) identity.items.push_back(i);
  const double efficiency = evaluator(system, identity);
  double volume = 0.0;
  for (const Part& part : system.parts) volume += part.volume;
  const Polyhedron& box = system.container;
  const double area = (box.boxMax.x - box.boxMin.x) * (box.boxMax.y - box.boxMin.y);
  int placed = 0;
  for (const Part& part : system.parts) placed += part.boxMin.z < box.boxMax.z ? 1 : 0;
  std::ostringstream out;
  out << "排样效率=" << efficiency << " 排样高度=" << volume / efficiency / area << " 已放入零件 "
      << placed << "/" << system.sequenceLength;
  console.line(out.str());
  if (arguments.exportPath)
    writeLayoutExport(system, *arguments.exportPath, exportContentOf(arguments, originals));
  return 0;
}

void writeLayoutExtras(const Arguments& arguments, PackingSystem& system,
                       const std::string& baseName, const std::string& exportPath,
                       const SearchProgress& progress, const OriginalMeshes* originals) {
  if (arguments.picture) {
    writeLayoutPictureFile(system, baseName + ".png");
    writeLayoutPageFile(system, baseName + ".html", progress);
  }
  if (arguments.exportPath)
    writeLayoutExport(system, exportPath, exportContentOf(arguments, originals));
}

/// A part too large for the container in every orientation would only ever be parked.
void checkPartsCanFit(PackingSystem& system) {
  system.buildOrientations();
  const Part* part = partFittingNowhere(system);
  if (part == nullptr) return;
  const Point size = minus(part->boxMax, part->boxMin);
  const Point room = minus(system.container.boxMax, system.container.boxMin);
  std::ostringstream text;
  text << "零件\"" << part->name << "\" (" << size.x << " x " << size.y << " x " << size.z
       << ") 在 RN=" << system.RN << " 的任何方向上都大于容器 (" << room.x << " x " << room.y
       << " x " << room.z << "), 永远放不进去";
  throw InputError(text.str());
}

/// The fast evaluation, which gives the reference layouts bit for bit.
Evaluator evaluatorFor(const Arguments& arguments) {
  auto fast = std::make_shared<FastEvaluator>(arguments.threads.value_or(defaultThreadCount()));
  return [fast](PackingSystem& system, const PackingSequence& sequence) {
    return fast->evaluate(system, sequence);
  };
}


}  // namespace

LayoutExtras layoutExtrasFor(const Arguments& arguments,
                             std::shared_ptr<const SearchProgressReader> progress,
                             std::shared_ptr<const OriginalMeshes> originals) {
  return [arguments, progress, originals](PackingSystem& system, const std::string& baseName) {
    const std::string extension =
        arguments.exportPath ? std::filesystem::path(*arguments.exportPath).extension().string()
                             : std::string();
    writeLayoutExtras(arguments, system, baseName, baseName + extension,
                      progress ? progress->progress() : SearchProgress(), originals.get());
  };
}

int runTessera(const Arguments& arguments, platform::Console& console, platform::Clock& clock) {
  if (arguments.help) {
    console.write(usageText());
    return 0;
  }
  PackingSystem system;
  const std::string projectPath = chooseProjectFile(arguments, console);
  for (const std::string& warning : loadProject(system, projectPath)) console.line(warning);
  if (system.sequenceLength == 0)
    throw InputError("项目文件\"" + projectPath + "\"中没有零件: 没有可排样的内容。");
  try {
    checkGridSize(system);
    checkCellBudget(system);
    checkPartsCanFit(system);
  } catch (const InputError& error) {
    throw InputError("文件\"" + projectPath + "\": " + error.what());
  }
  if (arguments.exportPath) checkExportFolder(*arguments.exportPath);
  // The originals are read only for an export, and before the search, so a bad one stops early.
  std::shared_ptr<const OriginalMeshes> originals;
  if (arguments.exportPath)
    if (std::optional<OriginalMeshes> loaded = loadOriginals(projectPath))
      originals = std::make_shared<const OriginalMeshes>(std::move(*loaded));
  const Evaluator evaluator = evaluatorFor(arguments);
  if (arguments.evaluateOnly)
    return evaluateOnce(arguments, system, evaluator, console, originals.get());

  Random random;
  auto progress = std::make_shared<SearchProgressReader>();
  ProgressConsole searchConsole(console, progress);
  SearchOptions options;
  options.iterations = arguments.iterations;
  options.evaluator = evaluator;
  options.layoutExtras = layoutExtrasFor(arguments, progress, originals);
  optimize(system, {searchConsole, clock, random}, options);
  if (const std::string unplaced = unplacedPartsLine(system); !unplaced.empty())
    console.line(unplaced);

  for (const std::string& line : writeFinalReport(system)) console.line(line);
  writeLayoutDxf(system, "Layout_zodedez.dxf");
  writeLayoutExtras(arguments, system, "Layout_zodedez", arguments.exportPath.value_or(""),
                    progress->progress(), originals.get());
  console.waitForKey();
  return 0;
}

int reportFailure(platform::Console& console, const std::exception& error) {
  const auto* input = dynamic_cast<const InputError*>(&error);
  if (input && input->channel() == InputError::Channel::WarningBox) {
    console.warning(error.what());
  } else {
    console.writeError(std::string(error.what()) + "\n");
  }
  return 1;
}

}  // namespace tessera
