#include "app/run.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/builds.h"
#include "app/layout_extras.h"
#include "app/run_checks.h"
#include "app/squeeze_run.h"
#include "formats/project_loader.h"
#include "mesh/layout_export.h"
#include "mesh/mesh_manifest.h"
#include "model/input_error.h"
#include "model/layout.h"
#include "model/project.h"
#include "placement/fast_evaluation.h"
#include "platform/encoding.h"
#include "platform/file_chooser.h"
#include "platform/folder_lock.h"
#include "platform/memory.h"
#include "search/chains.h"
#include "search/layout_files.h"
#include "search/optimizer.h"
#include "search/random.h"

namespace tessera {

namespace {

std::string chooseProjectFile(const Arguments& arguments, platform::Console& console) {
  if (arguments.project) return platform::enterProjectFolder(*arguments.project);
  if (std::optional<std::string> chosen = platform::chooseFile(console)) return *chosen;
  console.warning("文件打开失败!");
  return {};  // the loader then reports the empty path
}

Evaluator evaluatorOf(std::shared_ptr<FastEvaluator> fast) {
  return [fast](const Project& project, const PackingSequence& sequence) {
    return fast->evaluate(project, sequence);
  };
}

/// The fast evaluation, which gives the reference layouts bit for bit.
Evaluator fastEvaluator(int threads, PlacementRule rule) {
  return evaluatorOf(std::make_shared<FastEvaluator>(threads, rule));
}

/// The run's own evaluator; says so when the system starts fewer threads than asked for.
Evaluator evaluatorFor(const SearchOptions& options, platform::Console& console) {
  auto fast = std::make_shared<FastEvaluator>(options.threads, options.placementRule);
  if (fast->threads() < options.threads)
    console.writeError("系统只允许启动 " + std::to_string(fast->threads()) + " 个线程 (要求 " +
                       std::to_string(options.threads) + " 个); 以 " +
                       std::to_string(fast->threads()) + " 个线程继续。\n");
  return evaluatorOf(fast);
}

int evaluateOnce(const Arguments& arguments, const Project& project, const Evaluator& evaluator,
                 platform::Console& console, const ExportSources* sources) {
  PackingSequence identity;
  for (int i = 0; i < project.sequenceLength; ++i) identity.items.push_back(i);
  const Layout layout = evaluator(project, identity);
  const double efficiency = layout.measure.efficiency();
  std::ostringstream out;
  out << "排样效率=" << efficiency << " 排样高度=" << layout.measure.heightOf()(efficiency)
      << " 已放入零件 " << layout.measure.placedCount << "/" << project.sequenceLength;
  console.line(out.str());
  if (arguments.exportPath)
    writeLayoutExport(project, layout, *arguments.exportPath,
                      {arguments.exportContainer, sources, arguments.exportShapes});
  return 0;
}

/// The squeeze for the time limit from the greedy start, or from the layout file's layout
/// when that is lower; the layout to write and the computing time of the whole run.
std::pair<Layout, std::string> squeezeAfter(const Project& project, const SearchResult& start,
                                            const SqueezeOptions& squeeze,
                                            const SearchOptions& options,
                                            const std::optional<SavedLayout>& saved,
                                            const SqueezeKeeping& keeping, platform::Clock& clock,
                                            platform::Console& console) {
  const std::int64_t started = clock.counter();
  Layout layout =
      squeezeFromStart(project, start.layout, saved, squeeze, keeping, options.logFileName, console)
          .layout;
  const double seconds =
      static_cast<double>(clock.counter() - started) / static_cast<double>(clock.frequency());
  char text[100];
  std::snprintf(text, sizeof text, "%.2f 秒", start.computingSeconds + seconds);
  return {std::move(layout), text};
}

/// --layout: every final output of the saved layout, without a search (no log, no sequence
/// file).
int writeSavedLayout(const Project& project, const SavedLayout& saved,
                     const std::vector<ExtraLayoutFile>& extras, platform::Console& console) {
  const Layout layout = layoutOfPoses(project, saved.poses);
  LayoutSave save;
  save.kind = LayoutSaveKind::final;
  save.layout = &layout;
  save.computingTimeText = "0.00 秒";
  writeLayoutFiles(project, save, extras, console);
  return 0;
}

/// A process of rank 1 or more: the project as rank 0 loads it, then its share of the chains.
int serveChains(const Arguments& arguments, ChainTransport& transport) {
  Project project;
  const std::string projectPath = platform::enterProjectFolder(arguments.project.value_or(""));
  loadProject(project, projectPath);
  buildOrientations(project);
  SearchOptions options = searchOptionsOf(arguments);
  ChainSet::Settings settings;
  settings.threads = options.threads;
  settings.makeEvaluator = [rule = options.placementRule](int threads) {
    return fastEvaluator(threads, rule);
  };
  settings.transport = &transport;
  if (isJob(arguments, project)) {
    const JobPlan job = planJob(arguments, project, projectPath, nullptr, nullptr);
    options.chainEvaluator = settings.makeEvaluator;
    useJobEvaluators(job, options);
    settings.makeEvaluator = options.chainEvaluator;
    ChainSet::serve(job.searchProject, settings);
    return 0;
  }
  ChainSet::serve(project, settings);
  return 0;
}

/// A job's search, with --squeeze each build squeezed for its share of the time limit, and
/// its builds' files.
int searchJob(const JobPlan& job, const Arguments& arguments, SearchOptions options,
              SearchServices services) {
  const Evaluator base = options.evaluator;
  useJobEvaluators(job, options);
  const SearchResult result = optimize(job.searchProject, services, options);
  std::vector<BuildLayout> builds = jobLayout(job, result.best, base);
  std::string computingTimeText = result.computingTimeText;
  if (arguments.squeeze) {
    // Each build is a project of its own parts: no layout file of poses is read or kept.
    SqueezeOptions squeeze = squeezeOptionsOf(arguments);
    squeeze.timeLimit /= static_cast<double>(builds.size());
    const std::int64_t started = services.clock.counter();
    for (BuildLayout& build : builds) {
      SearchResult start;
      start.layout = build.layout;
      build.layout = squeezeAfter(build.project, start, squeeze, options, std::nullopt,
                                  SqueezeKeeping{}, services.clock, services.console)
                         .first;
    }
    const double seconds = static_cast<double>(services.clock.counter() - started) /
                           static_cast<double>(services.clock.frequency());
    char text[100];
    std::snprintf(text, sizeof text, "%.2f 秒", result.computingSeconds + seconds);
    computingTimeText = text;
  }
  writeJobFiles(job, builds, computingTimeText, options.extras, services.console);
  services.console.waitForKey();
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
  Project project;
  const std::string projectPath = chooseProjectFile(arguments, console);
  for (const std::string& warning : loadProject(project, projectPath)) console.line(warning);
  if (project.sequenceLength == 0)
    throw InputError("项目文件\"" + platform::messageText(projectPath) +
                     "\"中没有零件: 没有可排样的内容。");
  SearchOptions options = searchOptionsOf(arguments);
  checkProject(project, projectPath, options.threads, layoutCopies(arguments, transport), console);
  if (arguments.exportPath) checkExportFolder(*arguments.exportPath);
  if (arguments.squeeze)
    if (const std::string why = squeezeRefusalOf(project, projectPath); !why.empty())
      throw InputError(why, InputError::Channel::StandardError);
  // The layout file is read and checked before anything is written; a damaged one stays.
  const std::optional<SavedLayout> saved = layoutFileOfRun(arguments, project, projectPath);
  // The originals are read only for an export, and before the search, so a bad one stops early.
  std::shared_ptr<const ExportSources> sources;
  if (arguments.exportPath)
    sources = std::make_shared<const ExportSources>(
        exportSourcesOf(projectPath, project, platform::availableMemoryBytes().value_or(-1)));
  const std::vector<std::string> inputs = filesTheRunReads(projectPath);
  if (arguments.exportPath) refuseReplacingAnInput(*arguments.exportPath, inputs);
  if (!arguments.layout) options.evaluator = evaluatorFor(options, console);
  if (arguments.evaluateOnly)
    return evaluateOnce(arguments, project, options.evaluator, console, sources.get());
  std::optional<JobPlan> job;
  if (isJob(arguments, project))
    job = planJob(arguments, project, projectPath, &options.evaluator, &console);
  const platform::FolderLock lock(".", runFileName(RunFileRole::lock));
  refuseWhenBusy(lock);
  const FinalExtras atEnd = checkOutputs(arguments, console);

  Random random(options.seed);
  auto progress = std::make_shared<PageProgress>();
  options.chainEvaluator = [rule = options.placementRule](int threads) {
    return fastEvaluator(threads, rule);
  };
  options.transport = transport;
  options.extras = layoutExtrasFor(arguments, atEnd, progress, sources);
  options.observers = {progress.get()};
  options.protectedFiles = filesOfTheRun(arguments, inputs);
  if (arguments.layout) return writeSavedLayout(project, *saved, options.extras, console);
  const SqueezeKeeping keeping =
      arguments.squeeze ? keepingOfRun(options, projectPath) : SqueezeKeeping{};
  // The squeeze starts from the layout of the best sequence as a search of no iteration finds
  // it: the sequence file's, or the start sequence's.
  if (arguments.squeeze) options.iterations = 0;
  if (job) return searchJob(*job, arguments, options, {console, clock, random});
  const SearchResult result = optimize(project, {console, clock, random}, options);
  const auto [layout, computingTimeText] =
      arguments.squeeze ? squeezeAfter(project, result, squeezeOptionsOf(arguments), options, saved,
                                       keeping, clock, console)
                        : std::pair(result.layout, result.computingTimeText);

  LayoutSave save;
  save.kind = LayoutSaveKind::final;
  save.layout = &layout;
  save.computingTimeText = computingTimeText;
  writeLayoutFiles(project, save, options.extras, console);
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
