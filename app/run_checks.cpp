#include "app/run_checks.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "formats/atomic_file.h"
#include "formats/project_loader.h"
#include "formats/run_files.h"
#include "formats/same_file.h"
#include "formats/text_lines.h"
#include "mesh/mesh_manifest.h"
#include "model/input_error.h"
#include "model/solid_checks.h"
#include "placement/occupancy_grid.h"
#include "placement/run_budget.h"
#include "placement/voxelise.h"
#include "platform/encoding.h"
#include "platform/memory.h"
#include "search/chains.h"

namespace tessera {

namespace {

/// Says on standard error what a large run needs and refuses one that cannot finish, before
/// anything large is allocated.
void checkRunFits(const Project& project, int threads, int copies, platform::Console& console) {
  const RunFigures figures = runFigures(project, threads, copies);
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
void checkPartsCanFit(const Project& project) {
  const Part* part = partFittingNowhere(project);
  if (part == nullptr) return;
  const Point size = minus(part->boxMax, part->boxMin);
  const Point room = minus(project.container.boxMax, project.container.boxMin);
  std::ostringstream text;
  text << "零件\"" << platform::messageText(part->name) << "\" (" << size.x << " x " << size.y
       << " x " << size.z << ") 在 RN=" << project.RN;
  const PartType& type = project.partTypes[static_cast<std::size_t>(project.typeOf(part->id))];
  if (!(type.turns == TurnRule{})) text << " 且转动规则 " << turnRuleText(type.turns) << " 允许";
  text << " 的任何方向上都大于容器 (" << room.x << " x " << room.y << " x " << room.z
       << "), 永远放不进去";
  throw InputError(text.str());
}

/// A part so thin that placing it would never end: its slide creeps in strides of a quarter of
/// its thickness.
void checkSlides(const Project& project) {
  const EndlessSlide slide = findEndlessSlide(project);
  if (slide.part == nullptr) return;
  std::ostringstream text;
  text << "零件\"" << platform::messageText(slide.part->name) << "\"最薄处只有约 "
       << slide.leastExtent
       << " 厚: 放置时的滑动每步只走这个厚度的四分之一, 每穿过一个单元 (PBSL=" << project.PBSL
       << ") 要 " << slide.stridesPerCell
       << " 步, 排样评估无法在可用的时间内完成; 请把零件做厚一些。";
  throw InputError(text.str());
}

}  // namespace

void checkProject(Project& project, const std::string& projectPath, int threads, int copies,
                  platform::Console& console) {
  try {
    checkGridSize(project);
    checkCellBudget(project);
    checkSlides(project);
    checkRunFits(project, threads, copies, console);
    buildOrientations(project);
    checkPartsCanFit(project);
  } catch (const InputError& error) {
    throw InputError("文件\"" + platform::messageText(projectPath) + "\": " + error.what());
  }
}

int layoutCopies(const Arguments& arguments, const ChainTransport* transport) {
  const int chains = arguments.chains.value_or(1);
  // The squeeze starts from a single search; its --chains are paths, not annealing chains.
  if (chains < 2 || arguments.evaluateOnly || arguments.squeeze) return 1;
  const int processes = transport ? transport->processes() : 1;
  return 1 + chainsInProcess(chains, processes, 0);
}

void checkProcesses(const Arguments& arguments, const ChainTransport* transport) {
  if (!transport) return;
  // The squeeze's paths all run in one process; only the annealing's chains spread over MPI.
  if (arguments.squeeze)
    throw InputError("MPI 启动了 " + std::to_string(transport->processes()) +
                         " 个进程, 但 --squeeze 只在一个进程中运行: 请不用 mpirun 启动它; "
                         "要在这台机器上并行搜索多条路径, 请用 --chains K (配合 --threads)。",
                     InputError::Channel::StandardError);
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

void refuseWhenBusy(const platform::FolderLock& lock) {
  const std::string lockName = runFileName(RunFileRole::lock);
  if (lock.state() == platform::FolderLock::State::unavailable)
    throw InputError("无法锁定项目文件夹 (" + lock.failure() + "), 锁文件 \"" + lockName +
                         "\" 也无法使用: 无法保证没有另一个 tessera 进程在同一文件夹中运行, "
                         "搜索没有开始。",
                     InputError::Channel::StandardError);
  if (lock.state() != platform::FolderLock::State::busy) return;
  const std::string holder =
      lock.holder() > 0 ? "进程号 " + std::to_string(lock.holder()) : "进程号未知";
  throw InputError("另一个 tessera 进程 (" + holder + ") 正在这个项目文件夹中运行 (锁文件 \"" +
                       lockName +
                       "\"): 同一文件夹中的两次运行会互相覆盖结果; "
                       "请等它结束后再运行。",
                   InputError::Channel::StandardError);
}

FinalExtras checkOutputs(const Arguments& arguments, platform::Console& console) {
  struct Output {
    std::string name;
    std::string message;
  };
  std::vector<Output> outputs;
  for (const RunFile& file : kRunFiles)
    if (file.failure != nullptr) outputs.push_back({file.name, file.failure});
  if (arguments.exportPath) outputs.push_back({*arguments.exportPath, "布局导出失败"});
  const std::string logName = runFileName(RunFileRole::log);
  const std::string sequenceName = runFileName(RunFileRole::sequence);
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
    const std::string why =
        output.name == logName && exists ? whyNotAppendable(output.name) : replaceable(output.name);
    // The sequence file is read before it is replaced: what is no file is refused as input.
    if (!why.empty() && exists && output.name == sequenceName &&
        !std::filesystem::is_regular_file(output.name, error))
      throw unreadableFile(output.name);
    if (!why.empty())
      throw InputError(output.message + "\n输出文件 \"" + platform::messageText(output.name) +
                           "\" 无法写入 (" + why + "): 搜索没有开始, 什么都没有改动。",
                       InputError::Channel::StandardError);
  }
  FinalExtras extras;
  if (arguments.picture) {
    const auto extra = [&](RunFileRole role) {
      const RunFile& file = runFile(role);
      const std::string why = replaceable(file.name);
      if (!why.empty())
        console.writeError(std::string("警告: ") + file.what + " \"" + file.name + "\" 无法写入 (" +
                           why + "); 本次运行不写它, 其余输出照常。\n");
      return why.empty();
    };
    extras.picture = extra(RunFileRole::picture);
    extras.page = extra(RunFileRole::page);
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

void refuseReplacingAnInput(const std::string& exportPath, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs)
    if (sameFile(exportPath, input))
      throw InputError("布局导出失败: \"" + exportPath + "\" 就是项目读取的文件 \"" + input +
                           "\", 导出不会覆盖它; 请换一个导出文件名。",
                       InputError::Channel::StandardError);
}

std::vector<std::string> filesOfTheRun(const Arguments& arguments,
                                       const std::vector<std::string>& inputs) {
  std::vector<std::string> files;
  for (const RunFile& file : kRunFiles) files.push_back(file.name);
  if (arguments.exportPath) files.push_back(*arguments.exportPath);
  files.insert(files.end(), inputs.begin(), inputs.end());
  return files;
}

}  // namespace tessera
