#include "app/builds.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "formats/number_format.h"
#include "formats/report_writer.h"
#include "formats/run_files.h"
#include "model/input_error.h"
#include "model/solid_checks.h"
#include "model/turn_rule.h"
#include "platform/encoding.h"
#include "search/builds.h"

namespace tessera {

namespace {

std::string projectNamed(const std::string& projectPath) {
  return "项目文件\"" + platform::messageText(projectPath) + "\"";
}

std::string typeNamed(const Project& project, int type) {
  return "\"" + platform::messageText(project.partTypes[static_cast<std::size_t>(type)].name) +
         "\"";
}

/// The least height of part file s over the orientations its type allows.
double leastHeight(const Project& project, int s, const TurnRule& rule) {
  double least = INFINITY;
  for (const Orientation& turn : project.orientationTable) {
    if (!allowsTurn(rule, turn)) continue;
    Polyhedron turned = project.sources[static_cast<std::size_t>(s)];
    turned.transform(turn);
    least = std::fmin(least, turned.boxMax.z - turned.boxMin.z);
  }
  return least;
}

/// Every part file of the search's project must find a place alone in an empty build.
void refuseTallParts(const JobPlan& plan, const std::string& projectPath,
                     const Evaluator& evaluator) {
  const Project& job = plan.searchProject;
  std::vector<bool> tried(job.sources.size(), false);
  for (int id = 0; id < job.parts.count(); ++id) {
    const int s = job.sourceOfPart[static_cast<std::size_t>(id)];
    if (tried[static_cast<std::size_t>(s)]) continue;
    tried[static_cast<std::size_t>(s)] = true;
    const Project alone = projectOfParts(job, plan.buildContainer, {id});
    PackingSequence first;
    first.items = {0};
    if (evaluator(alone, first).parts[0].placed) continue;
    throw InputError(
        projectNamed(projectPath) + ": 零件\"" + platform::messageText(job.parts[id].name) +
            "\"放不进高度为 " + formatNumber(*plan.buildHeight) +
            " 的构建 (--max-height): 它在允许的朝向中最矮 " +
            formatNumber(leastHeight(
                job, s, job.partTypes[static_cast<std::size_t>(job.typeOf(id))].turns)) +
            ", 而排样在每边需要约一个格子 (PBSL) 的余量。",
        InputError::Channel::StandardError);
  }
}

/// The top of the placed parts over the container's floor (0 when none is placed).
double placedHeight(const Layout& layout, const Polyhedron& container) {
  double top = container.boxMin.z;
  for (const PartPlacement& p : layout.parts)
    if (p.placed && p.boxMax.z > top) top = p.boxMax.z;
  return top - container.boxMin.z;
}

std::string fillerLine(const Project& project, int type, int copies) {
  return "Filler " + platform::messageText(project.partTypes[static_cast<std::size_t>(type)].name) +
         ": " + std::to_string(copies) + " copies";
}

std::string buildLine(int k, const LayoutMeasure& m) {
  return "Build " + std::to_string(k) + ": Parts:" + std::to_string(m.placedCount) +
         " Packing Height:" + reportedHeight(m) + " Packing Density:" + reportedDensity(m);
}

}  // namespace

std::vector<BuildLayout> jobLayout(const JobPlan& plan, const PackingSequence& sequence,
                                   const Evaluator& base, int maxCopies) {
  const Project& job = plan.searchProject;
  std::vector<BuildLayout> builds;
  if (plan.buildHeight) {
    for (const Build& build : layoutBuilds(job, plan.buildContainer, sequence, base))
      builds.push_back(buildLayoutOf(job, plan.buildContainer, build));
  } else {
    const Layout layout = base(job, sequence);
    Build all;
    for (const int id : sequence.items) {
      all.jobIds.push_back(id);
      all.placements.push_back(layout.parts[static_cast<std::size_t>(id)]);
    }
    builds.push_back(buildLayoutOf(job, job.container, all));
  }
  for (std::size_t k = 0; k < builds.size(); ++k) {
    BuildLayout& build = builds[k];
    const bool last = k + 1 == builds.size();
    const double limit = last && plan.buildHeight
                             ? *plan.buildHeight
                             : placedHeight(build.layout, build.project.container);
    for (const int type : plan.fillerTypes) fillBuild(build, type, limit, base, maxCopies);
  }
  return builds;
}

bool isJob(const Arguments& arguments, const Project& project) {
  if (arguments.maxHeight) return true;
  for (const PartType& type : project.partTypes)
    if (type.filler) return true;
  return false;
}

JobPlan planJob(const Arguments& arguments, const Project& project, const std::string& projectPath,
                const Evaluator* evaluator, platform::Console* console) {
  JobPlan plan;
  // Part files of one name are one type: each filler type once.
  for (const PartType& type : project.partTypes)
    if (type.filler && std::find(plan.fillerTypes.begin(), plan.fillerTypes.end(),
                                 type.typeIndex) == plan.fillerTypes.end())
      plan.fillerTypes.push_back(type.typeIndex);
  plan.searchProject = projectWithoutTypes(project, plan.fillerTypes);
  plan.buildContainer = project.container;
  const Polyhedron& c = project.container;
  if (arguments.maxHeight) {
    const Point e = minus(c.boxMax, c.boxMin);
    const double boxVolume = e.x * e.y * e.z;
    if (!(std::fabs(enclosedVolume(c) - boxVolume) <= 1e-9 * boxVolume))
      throw InputError(
          projectNamed(projectPath) + ": --max-height 只能用于长方体容器 (这个容器不是长方体)。",
          InputError::Channel::StandardError);
    plan.buildHeight = *arguments.maxHeight;
    if (*plan.buildHeight > e.z) {
      if (console)
        console->writeError("注意: --max-height " + formatNumber(*plan.buildHeight) +
                            " 高于容器的高度 " + formatNumber(e.z) +
                            "; 每个构建以容器的高度为准。\n");
      plan.buildHeight = e.z;
    }
    plan.buildContainer = containerOfHeight(c, *plan.buildHeight);
    if (evaluator) refuseTallParts(plan, projectPath, *evaluator);
  }
  if (plan.fillerTypes.empty()) return plan;
  if (plan.searchProject.parts.count() == 0)
    throw InputError(projectNamed(projectPath) + ": 只有填充零件, 没有其余零件可以排样。",
                     InputError::Channel::StandardError);
  if (!evaluator) return plan;
  // The start layout must leave each filler room for a copy; the search rarely adds room.
  PackingSequence start;
  for (int i = 0; i < plan.searchProject.sequenceLength; ++i) start.items.push_back(i);
  const std::vector<BuildLayout> builds = jobLayout(plan, start, *evaluator, 1);
  for (const int type : plan.fillerTypes) {
    int copies = 0;
    for (const BuildLayout& build : builds)
      copies += build.fillerCopies[static_cast<std::size_t>(type)];
    if (copies == 0)
      throw InputError(projectNamed(projectPath) + ": 填充零件" + typeNamed(project, type) +
                           "没有空间: 其余零件的排样高度以下放不下一个。",
                       InputError::Channel::StandardError);
  }
  return plan;
}

Evaluator jobEvaluator(const JobPlan& plan, Evaluator base) {
  if (!plan.buildHeight) return base;
  return buildsEvaluator(std::move(base), plan.buildContainer);
}

void useJobEvaluators(const JobPlan& plan, SearchOptions& options) {
  options.evaluator = jobEvaluator(plan, std::move(options.evaluator));
  if (!plan.buildHeight || !options.chainEvaluator) return;
  options.chainEvaluator = [inner = std::move(options.chainEvaluator),
                            container = plan.buildContainer](int threads) {
    return buildsEvaluator(inner(threads), container);
  };
}

void writeJobFiles(const JobPlan& plan, const std::vector<BuildLayout>& builds,
                   const std::string& computingTimeText, const std::vector<ExtraLayoutFile>& extras,
                   platform::Console& console) {
  std::vector<int> copies(plan.searchProject.partTypes.size(), 0);
  std::vector<std::string> summary;
  double totalVolume = 0.0;
  int parts = 0;
  for (std::size_t k = 0; k < builds.size(); ++k) {
    const BuildLayout& build = builds[k];
    LayoutSave save;
    save.kind = LayoutSaveKind::final;
    save.layout = &build.layout;
    save.computingTimeText = computingTimeText;
    save.build = plan.buildHeight ? static_cast<int>(k) + 1 : 0;
    for (const int type : plan.fillerTypes) {
      const int n = build.fillerCopies[static_cast<std::size_t>(type)];
      copies[static_cast<std::size_t>(type)] += n;
      save.reportLines.push_back(fillerLine(build.project, type, n));
    }
    writeLayoutFiles(build.project, save, extras, console);
    summary.push_back(buildLine(static_cast<int>(k) + 1, build.layout.measure));
    totalVolume += build.layout.measure.totalVolume;
    parts += build.layout.measure.placedCount;
  }
  if (!plan.buildHeight) return;  // one build: its report is report.txt
  const LayoutMeasure& first = builds.front().layout.measure;
  std::vector<std::string> lines = {"Calculating Time:" + computingTimeText,
                                    "Volume of All Parts:" + formatNumber(totalVolume),
                                    "Length of Container:" + formatNumber(first.length),
                                    "Width of Container:" + formatNumber(first.width),
                                    "Build Height:" + formatNumber(*plan.buildHeight)};
  lines.insert(lines.end(), summary.begin(), summary.end());
  for (const int type : plan.fillerTypes)
    lines.push_back(fillerLine(plan.searchProject, type, copies[static_cast<std::size_t>(type)]));
  lines.push_back("Builds:" + std::to_string(builds.size()) + " Parts:" + std::to_string(parts));
  writeReportLines(lines, runFileName(RunFileRole::finalReport));
  for (const std::string& line : lines) console.line(line);
}

}  // namespace tessera
