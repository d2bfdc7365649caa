#include "app/run.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "formats/atomic_file.h"
#include "formats/dxf_writer.h"
#include "mesh/layout_export.h"
#include "app/progress_console.h"
#include "page/layout_page.h"
#include "picture/layout_scene.h"
#include "formats/project_loader.h"
#include "formats/report_writer.h"
#include "formats/same_file.h"
#include "formats/text_lines.h"
#include "model/input_error.h"
#include "model/packing_system.h"
#include "model/solid_checks.h"
#include "placement/fast_evaluation.h"
#include "placement/occupancy_grid.h"
#include "placement/run_budget.h"
#include "placement/voxelise.h"
#include "platform/encoding.h"
#include "platform/file_chooser.h"
#include "platform/folder_lock.h"
#include "platform/memory.h"
#include "search/chains.h"
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

ExportContent exportContentOf(const Arguments& arguments, const ExportSources* sources) {
  return {arguments.exportContainer, sources, arguments.exportShapes};
}

int evaluateOnce(const Arguments& arguments, PackingSystem& system, const Evaluator& evaluator,
                 platform::Console& console, const ExportSources* sources) {
  buildGrid(system);
  system.buildOrientations();
  PackingSequence identity;
  for (int i = 0; i < system.sequenceLength; ++i) identity.items.push_back(i);
  const double efficiency = evaluator(system, identity);
  double volume = 0.0;
  for (const Part& part : system.parts) volume += part.volume;
  const Polyhedron& box = system.container;
  const double area = (box.boxMax.x - box.boxMin.x) * (box.boxMax.y - box.boxMin.y);
  std::ostringstream out;
  out << "排样效率=" << efficiency << " 排样高度=" << volume / efficiency / area << " 已放入零件 "
      << system.placedParts << "/" << system.sequenceLength;
  console.line(out.str());
  if (arguments.exportPath)
    writeLayoutExport(system, *arguments.exportPath, exportContentOf(arguments, sources));
  return 0;
}

/// The outputs beyond the specified ones that this run writes at its end.
struct Extras {
  bool picture = false;
  bool page = false;
};

void writeLayoutExtras(const Arguments& arguments, PackingSystem& system,
                       const std::string& baseName, const std::string& exportPath,
                       const SearchProgress& progress, const ExportSources* sources) {
  if (arguments.picture) {
    writeLayoutPictureFile(system, baseName + ".png");
    writeLayoutPageFile(system, baseName + ".html", progress);
  }
  if (arguments.exportPath)
    writeLayoutExport(system, exportPath, exportContentOf(arguments, sources));
}

/// The final picture and page, each where the start found it writable. They only add to the
/// specified outputs, written before them: a failure is a warning and the run still succeeds.
void writeFinalExtras(PackingSystem& system, const Extras& extras, const SearchProgress& progress,
                      platform::Console& console) {
  const auto attempt = [&](bool wanted, const auto& write) {
    if (!wanted) return;
    try {
      write();
    } catch (const InputError& error) {
      console.writeError(std::string("警告: ") + error.what() + "; 其余输出已写好。\n");
    }
  };
  attempt(extras.picture, [&] { writeLayoutPictureFile(system, "Layout_zodedez.png"); });
  attempt(extras.page, [&] { writeLayoutPageFile(system, "Layout_zodedez.html", progress); });
}

/// Layouts this process works on side by side: the search's own, and one per chain of this
/// process when there are several chains.
int layoutCopies(const Arguments& arguments, const ChainTransport* transport) {
  const int chains = arguments.chains.value_or(1);
  if (chains < 2 || arguments.evaluateOnly) return 1;
  const int processes = transport ? transport->processes() : 1;
  return 1 + chainsInProcess(chains, processes, 0);
}

/// Says on standard error what a large run needs and refuses one that cannot finish, before
/// anything large is allocated.
void checkRunFits(const PackingSystem& system, int threads, int copies,
                  platform::Console& console) {
  const RunFigures figures = runFigures(system, threads, copies);
  const std::int64_t available = platform::availableMemoryBytes().value_or(-1);
  if (largeRun(figures)) console.writeError(describeRunFigures(figures, available) + "\n");
  checkRunMemory(figures, available);
  if (figures.evaluationSeconds > kSlowEvaluationSeconds) {
    std::ostringstream warning;
    warning << "警告: 估计第一次排样评估约需 " << static_cast<long long>(figures.evaluationSeconds)
            << " 秒, 搜索会很慢; 选用更大的 PBSL 或更小的 RN 可以加快。\n";
    console.writeError(warning.str());
  }
}

/// A part too large for the container in every orientation would only ever be parked.
void checkPartsCanFit(PackingSystem& system) {
  system.buildOrientations();
  const Part* part = partFittingNowhere(system);
  if (part == nullptr) return;
  const Point size = minus(part->boxMax, part->boxMin);
  const Point room = minus(system.container.boxMax, system.container.boxMin);
  std::ostringstream text;
  text << "零件\"" << platform::messageText(part->name) << "\" (" << size.x << " x " << size.y
       << " x " << size.z << ") 在 RN=" << system.RN << " 的任何方向上都大于容器 (" << room.x
       << " x " << room.y << " x " << room.z << "), 永远放不进去";
  throw InputError(text.str());
}

/// A part so thin that placing it would never end: its slide creeps in strides of a quarter of
/// its thickness.
void checkSlides(const PackingSystem& system) {
  const EndlessSlide slide = findEndlessSlide(system);
  if (slide.part == nullptr) return;
  std::ostringstream text;
  text << "零件\"" << platform::messageText(slide.part->name) << "\"最薄处只有约 "
       << slide.leastExtent
       << " 厚: 放置时的滑动每步只走这个厚度的四分之一, 每穿过一个单元 (PBSL=" << system.PBSL
       << ") 要 " << slide.stridesPerCell
       << " 步, 排样评估无法在可用的时间内完成; 请把零件做厚一些。";
  throw InputError(text.str());
}

/// The fast evaluation, which gives the reference layouts bit for bit.
Evaluator evaluatorFor(const Arguments& arguments, platform::Console& console) {
  const int threads = arguments.threads.value_or(defaultThreadCount());
  auto fast = std::make_shared<FastEvaluator>(threads);
  if (fast->threads() < threads)
    console.writeError("系统只允许启动 " + std::to_string(fast->threads()) + " 个线程 (要求 " +
                       std::to_string(threads) + " 个); 以 " + std::to_string(fast->threads()) +
                       " 个线程继续。\n");
  return [fast](PackingSystem& system, const PackingSequence& sequence) {
    return fast->evaluate(system, sequence);
  };
}

/// A fast evaluation of its own for one search chain.
Evaluator chainEvaluatorFor(int threads) {
  auto fast = std::make_shared<FastEvaluator>(threads);
  return [fast](PackingSystem& system, const PackingSequence& sequence) {
    return fast->evaluate(system, sequence);
  };
}


// Beside the project: every run in this folder writes the same outputs.
constexpr const char* kLockFileName = ".tessera.lock";

void refuseWhenBusy(const platform::FolderLock& lock) {
  if (lock.state() == platform::FolderLock::State::unavailable)
    throw InputError("无法锁定项目文件夹 (" + lock.failure() + "), 锁文件 \"" + kLockFileName +
                         "\" 也无法使用: 无法保证没有另一个 tessera 进程在同一文件夹中运行, "
                         "搜索没有开始。",
                     InputError::Channel::StandardError);
  if (lock.state() != platform::FolderLock::State::busy) return;
  const std::string holder =
      lock.holder() > 0 ? "进程号 " + std::to_string(lock.holder()) : "进程号未知";
  throw InputError("另一个 tessera 进程 (" + holder + ") 正在这个项目文件夹中运行 (锁文件 \"" +
                       kLockFileName + "\"): 同一文件夹中的两次运行会互相覆盖结果; "
                       "请等它结束后再运行。",
                   InputError::Channel::StandardError);
}

/// Every output of the run must be creatable or replaceable before the search starts, not
/// found unwritable hours later. Each specified one is refused with the message its writer
/// would give. The picture and the page only add to them: one that cannot be written is
/// named in a warning and left out of the final outputs, and the run goes on. Outputs to be
/// written in place (see AtomicFile) are said once.
Extras checkOutputs(const Arguments& arguments, platform::Console& console) {
  struct Output {
    std::string name;
    std::string message;
  };
  std::vector<Output> outputs = {
      {"report2.txt", "report2 file open error!"},
      {"ID_Type_SequenceForPack.txt", "ID_Type_SequenceForPack.txt file open error!"},
      {"report.txt", "report file open error!"},
      {"Layout_zodedez.dxf", "多面体几何信息输出失败!"},
  };
  if (arguments.exportPath) outputs.push_back({*arguments.exportPath, "布局导出失败"});
  Extras extras;
  std::vector<std::string> inPlace;
  std::string inPlaceReason;
  const auto replaceable = [&](const std::string& name) {
    const ReplacementCheck check = checkReplacement(name);
    if (check.inPlace) {
      inPlace.push_back(platform::messageText(name));
      inPlaceReason = check.reason;
    }
    return check.possible ? std::string() : check.reason;
  };
  for (const Output& output : outputs) {
    std::error_code error;
    const bool exists = std::filesystem::exists(output.name, error);
    // The log is appended to, not replaced: an existing one only has to take more lines.
    const std::string why = output.name == "report2.txt" && exists ? whyNotAppendable(output.name)
                                                                   : replaceable(output.name);
    // The sequence file is read before it is replaced: what is no file is refused as input.
    if (!why.empty() && exists && output.name == "ID_Type_SequenceForPack.txt" &&
        !std::filesystem::is_regular_file(output.name, error))
      throw unreadableFile(output.name);
    if (!why.empty())
      throw InputError(output.message + "\n输出文件 \"" + platform::messageText(output.name) +
                           "\" 无法写入 (" + why + "): 搜索没有开始, 什么都没有改动。",
                       InputError::Channel::StandardError);
  }
  if (arguments.picture) {
    const auto extra = [&](const char* name, const char* what) {
      const std::string why = replaceable(name);
      if (!why.empty())
        console.writeError(std::string("警告: ") + what + " \"" + name + "\" 无法写入 (" + why +
                           "); 本次运行不写它, 其余输出照常。\n");
      return why.empty();
    };
    extras.picture = extra("Layout_zodedez.png", "布局图片");
    extras.page = extra("Layout_zodedez.html", "布局网页");
  }
  if (!inPlace.empty()) {
    std::string names;
    for (const std::string& name : inPlace) names += (names.empty() ? "" : ", ") + name;
    console.writeError(
        "注意: 文件夹中不能新建文件 (" + inPlaceReason + "), 所以 " + names +
        " 将被直接改写, 不经过临时文件; 写到一半失败 (如磁盘已满) 的文件会不完整。\n");
  }
  return extras;
}

/// The files the run reads: the project, its container and part files and, where there is a
/// meshes manifest, the manifest and every mesh it names. No output may replace one.
std::vector<std::string> filesTheRunReads(const std::string& projectPath) {
  std::vector<std::string> files = {projectPath};
  std::ifstream in(projectPath, std::ios::binary);
  const ProjectFile project = parseProjectFile(in, projectPath);  // loaded once already
  files.push_back(project.containerPath);
  for (const ProjectBlock& block : project.blocks) files.push_back(block.partPath);
  const std::string manifestPath = manifestPathOf(projectPath);
  files.push_back(manifestPath);
  try {
    if (const std::optional<MeshManifest> manifest = readManifestBeside(projectPath))
      for (const ManifestEntry& entry : manifest->entries)
        files.push_back(meshFileOf(manifestPath, entry));
  } catch (const InputError&) {
    // Only an export reads the manifest, and refuses a bad one; a run without stays as it is.
  }
  return files;
}

/// The export must not replace a file the run reads (a mesh the manifest names, say).
void refuseReplacingAnInput(const std::string& exportPath, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs)
    if (sameFile(exportPath, input))
      throw InputError("布局导出失败: \"" + exportPath + "\" 就是项目读取的文件 \"" + input +
                           "\", 导出不会覆盖它; 请换一个导出文件名。",
                       InputError::Channel::StandardError);
}

/// The files this run reads or writes besides the search's own: a pause must not replace any.
std::vector<std::string> filesOfTheRun(const Arguments& arguments,
                                       const std::vector<std::string>& inputs) {
  std::vector<std::string> files = {"report.txt", "Layout_zodedez.dxf", "Layout_zodedez.png",
                                    "Layout_zodedez.html", kLockFileName};
  if (arguments.exportPath) files.push_back(*arguments.exportPath);
  files.insert(files.end(), inputs.begin(), inputs.end());
  return files;
}

}  // namespace

LayoutExtras layoutExtrasFor(const Arguments& arguments,
                             std::shared_ptr<const SearchProgressReader> progress,
                             std::shared_ptr<const ExportSources> sources) {
  return [arguments, progress, sources](PackingSystem& system, const std::string& baseName) {
    const std::string extension =
        arguments.exportPath ? std::filesystem::path(*arguments.exportPath).extension().string()
                             : std::string();
    writeLayoutExtras(arguments, system, baseName, baseName + extension,
                      progress ? progress->progress() : SearchProgress(), sources.get());
  };
}

namespace {

/// More processes than chains would leave some with nothing to do; and the others cannot ask
/// for a project.
void checkProcesses(const Arguments& arguments, const ChainTransport* transport) {
  if (!transport) return;
  const int chains = arguments.chains.value_or(1);
  if (transport->processes() > chains)
    throw InputError("MPI 启动了 " + std::to_string(transport->processes()) + " 个进程, 但只有 " +
                         std::to_string(chains) + " 条链 (--chains " + std::to_string(chains) +
                         "): 进程数不能多于链数; 请减少进程数或增加链数。",
                     InputError::Channel::StandardError);
  if (!arguments.project)
    throw InputError("在 MPI 下运行时必须在命令行上给出项目文件。",
                     InputError::Channel::StandardError);
}

/// A process of rank 1 or more: the project as rank 0 loads it, then its share of the chains.
int serveChains(const Arguments& arguments, ChainTransport& transport) {
  PackingSystem system;
  loadProject(system, platform::enterProjectFolder(arguments.project.value_or("")));
  system.placementRule = arguments.placementRule;
  buildGrid(system);
  system.buildOrientations();
  ChainSet::Settings settings;
  settings.threads = arguments.threads.value_or(defaultThreadCount());
  settings.makeEvaluator = chainEvaluatorFor;
  settings.transport = &transport;
  ChainSet::serve(system, settings);
  return 0;
}

}  // namespace

int runTessera(const Arguments& arguments, platform::Console& console, platform::Clock& clock,
               ChainTransport* transport) {
  if (arguments.help) {
    console.write(usageText());
    return 0;
  }
  checkProcesses(arguments, transport);
  if (transport && transport->rank() != 0) return serveChains(arguments, *transport);
  // However rank 0's run ends, the others must not wait for it.
  struct Release {
    ChainTransport* transport;
    ~Release() {
      if (transport) try {
          endChainSession(*transport);
        } catch (...) {
          // The others are gone already.
        }
    }
  } release{transport};
  PackingSystem system;
  const std::string projectPath = chooseProjectFile(arguments, console);
  for (const std::string& warning : loadProject(system, projectPath)) console.line(warning);
  system.placementRule = arguments.placementRule;
  if (system.sequenceLength == 0)
    throw InputError("项目文件\"" + platform::messageText(projectPath) +
                     "\"中没有零件: 没有可排样的内容。");
  try {
    checkGridSize(system);
    checkCellBudget(system);
    checkSlides(system);
    checkRunFits(system, arguments.threads.value_or(defaultThreadCount()),
                 layoutCopies(arguments, transport), console);
    checkPartsCanFit(system);
  } catch (const InputError& error) {
    throw InputError("文件\"" + platform::messageText(projectPath) + "\": " + error.what());
  }
  if (arguments.exportPath) checkExportFolder(*arguments.exportPath);
  // The originals are read only for an export, and before the search, so a bad one stops early.
  std::shared_ptr<const ExportSources> sources;
  if (arguments.exportPath)
    sources = std::make_shared<const ExportSources>(
        exportSourcesOf(projectPath, system, platform::availableMemoryBytes().value_or(-1)));
  system.recordMotion = sources && !sources->originals.empty();
  const std::vector<std::string> inputs = filesTheRunReads(projectPath);
  if (arguments.exportPath) refuseReplacingAnInput(*arguments.exportPath, inputs);
  const Evaluator evaluator = evaluatorFor(arguments, console);
  if (arguments.evaluateOnly)
    return evaluateOnce(arguments, system, evaluator, console, sources.get());
  const platform::FolderLock lock(".", kLockFileName);
  refuseWhenBusy(lock);
  const Extras extras = checkOutputs(arguments, console);

  Random random(arguments.seed.value_or(Random::kDefaultSeed));
  auto progress = std::make_shared<SearchProgressReader>();
  ProgressConsole searchConsole(console, progress);
  SearchOptions options;
  options.iterations = arguments.iterations;
  options.startTemperature = arguments.startTemperature.value_or(options.startTemperature);
  options.schedule = arguments.schedule.value_or(options.schedule);
  options.timeLimitSeconds = arguments.timeLimit;
  options.chains = arguments.chains.value_or(options.chains);
  options.exchangeEvery = arguments.exchangeEvery.value_or(options.exchangeEvery);
  options.maxSwaps = arguments.maxSwaps.value_or(options.maxSwaps);
  options.threads = arguments.threads.value_or(defaultThreadCount());
  options.seed = arguments.seed.value_or(Random::kDefaultSeed);
  options.chainEvaluator = chainEvaluatorFor;
  options.transport = transport;
  options.evaluator = evaluator;
  options.layoutExtras = layoutExtrasFor(arguments, progress, sources);
  options.protectedFiles = filesOfTheRun(arguments, inputs);
  if (arguments.picture) options.extraSuffixes = {".png", ".html"};
  if (arguments.exportPath)
    options.extraSuffixes.push_back(std::filesystem::path(*arguments.exportPath).extension());
  optimize(system, {searchConsole, clock, random}, options);
  if (const std::string unplaced = unplacedPartsLine(system); !unplaced.empty())
    console.line(unplaced);

  for (const std::string& line : writeFinalReport(system)) console.line(line);
  writeLayoutDxf(system, "Layout_zodedez.dxf");
  writeFinalExtras(system, extras, progress->progress(), console);
  if (arguments.exportPath)
    writeLayoutExport(system, *arguments.exportPath, exportContentOf(arguments, sources.get()));
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
