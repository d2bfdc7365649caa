#include "app/squeeze_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "app/run_checks.h"
#include "formats/number_format.h"
#include "formats/project_loader.h"
#include "formats/run_files.h"
#include "formats/same_file.h"
#include "formats/text_lines.h"
#include "model/input_error.h"
#include "platform/encoding.h"
#include "platform/interrupt.h"
#include "search/pause.h"
#include "squeeze/layout_check.h"

namespace tessera {

namespace {

using SteadyClock = std::chrono::steady_clock;

double secondsSince(SteadyClock::time_point from) {
  return std::chrono::duration<double>(SteadyClock::now() - from).count();
}

std::string squeezeLine(const SqueezeProgress& progress) {
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.2f", progress.seconds);
  char height[64];
  std::snprintf(height, sizeof height, "%.6f", progress.height);
  return std::string("挤压: 排样高度=") + height + " (" + seconds + " 秒)";
}

/// Keeps the squeeze's best layouts in the layout file: the one that waits for its save, the
/// height the file holds, when the next save may come. Each save checks the layout once more
/// with the exact check, so that the file never holds one a later run would refuse.
class PoseKeeper {
 public:
  PoseKeeper(const Project& project, const SqueezeProblem& problem, const SqueezeKeeping& keeping)
      : project_(project), problem_(problem), keeping_(keeping), saved_(keeping.savedHeight) {}

  /// A new best feasible layout, to be saved when its time comes.
  void offer(const std::vector<Pose>& poses, double height) {
    if (keeping_.poseFileName.empty()) return;
    const std::lock_guard<std::mutex> hold(mutex_);
    if (!(height < saved_)) return;
    pending_ = {poses, height};
  }

  /// Saves the waiting layout when it is due; the message of a failed save, else empty.
  std::string saveIfDue() {
    std::optional<SavedLayout> due;
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      if (!pending_ || SteadyClock::now() < next_) return {};
      due = std::move(pending_);
      pending_.reset();
    }
    return save(std::move(*due));
  }

  /// Saves the waiting layout now (at the end of the squeeze); the message of a failure.
  std::string flush() {
    std::optional<SavedLayout> due;
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      due = std::move(pending_);
      pending_.reset();
    }
    return due ? save(std::move(*due)) : std::string();
  }

 private:
  /// Writes layout when the exact check accepts it and it is lower than the file's; one that
  /// fails waits again, unless a newer one does.
  std::string save(SavedLayout layout) {
    const SteadyClock::time_point started = SteadyClock::now();
    std::string failure;
    bool written = false;
    const LayoutCheck check = checkLayout(problem_, layout.poses);
    if (check.feasible() && check.height < saved_) {
      try {
        writePoseFile(keeping_.poseFileName,
                      poseFileOf(project_, keeping_.partFiles, layout.poses, check.height));
        written = true;
      } catch (const InputError& error) {
        failure = std::string("警告: ") + error.what() + "; 原文件保持不变, 稍后再试。";
      }
    }
    const double took = secondsSince(started);
    double wait = keeping_.saveEverySeconds;
    if (keeping_.saveTimeShare > 0.0 && took / keeping_.saveTimeShare > wait)
      wait = took / keeping_.saveTimeShare;
    const std::lock_guard<std::mutex> hold(mutex_);
    if (written) saved_ = check.height;
    if (!failure.empty() && !pending_) pending_ = std::move(layout);
    next_ = SteadyClock::now() +
            std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(wait));
    return failure;
  }

  const Project& project_;
  const SqueezeProblem& problem_;
  const SqueezeKeeping& keeping_;
  std::mutex mutex_;
  std::optional<SavedLayout> pending_;
  double saved_;                    // written under mutex_, by the saving thread only
  SteadyClock::time_point next_{};  // no save before this
};

/// For as long as it lives, on a thread of its own: raises stop once the run's Ctrl-C arrives
/// or (with the pause key) a key is pressed, and saves the keeper's layout when it is due.
class SqueezeWatch {
 public:
  SqueezeWatch(PoseKeeper& keeper, platform::Console& console, std::mutex& consoleMutex,
               bool pauseKey)
      : keeper_(keeper), console_(console), consoleMutex_(consoleMutex), pauseKey_(pauseKey) {
    watcher_ = std::thread([this] { watch(); });
  }
  ~SqueezeWatch() {
    done_.store(true);
    watcher_.join();
  }
  SqueezeWatch(const SqueezeWatch&) = delete;
  SqueezeWatch& operator=(const SqueezeWatch&) = delete;

  std::atomic<bool> stop{false};
  std::atomic<bool> paused{false};  // a key asked for the pause; cleared after the dialogue

 private:
  void watch() {
    while (!done_.load()) {
      if (platform::interruptRequested()) stop.store(true);
      if (pauseKey_ && !paused.load() && !stop.load()) {
        const std::lock_guard<std::mutex> hold(consoleMutex_);
        if (console_.keyWaiting()) {
          paused.store(true);
          stop.store(true);
        }
      }
      if (!paused.load())
        if (const std::string failure = keeper_.saveIfDue(); !failure.empty()) {
          const std::lock_guard<std::mutex> hold(consoleMutex_);
          console_.line(failure);
        }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  PoseKeeper& keeper_;
  platform::Console& console_;
  std::mutex& consoleMutex_;
  bool pauseKey_;
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

/// The file a pause under baseName would replace although it must not, or empty.
std::string pauseClash(const SqueezeKeeping& keeping, const std::string& baseName) {
  std::vector<std::string> written = {baseName + runFile(RunFileRole::drawing).pauseSuffix,
                                      baseName + runFile(RunFileRole::finalReport).pauseSuffix,
                                      baseName + kPoseFilePauseSuffix};
  for (const ExtraLayoutFile& extra : keeping.extras) written.push_back(baseName + extra.suffix);
  std::vector<std::string> kept = keeping.protectedFiles;
  kept.push_back(keeping.poseFileName);
  for (const std::string& file : written)
    for (const std::string& protectedFile : kept)
      if (!protectedFile.empty() && sameFile(file, protectedFile)) return protectedFile;
  return {};
}

/// The pause of the squeeze, after the key that opened it: saves the best layout so far under
/// a name (its drawing, interim report, extras and, once the squeeze has a feasible layout,
/// its layout file; before, the start's), or ends. False to end.
bool squeezePause(const Project& project, const SqueezeKeeping& keeping, const Layout& start,
                  const std::vector<Pose>* best, double seconds, platform::Console& console) {
  console.readKey();  // the key that opened the dialogue; its value does not matter
  const PauseChoice choice = pauseDialogue(
      console, [&](const std::string& baseName) { return pauseClash(keeping, baseName); });
  if (choice.baseName.empty()) return choice.keepRunning;
  const Layout layout = best ? layoutOfPoses(project, *best) : start;
  LayoutSave save;
  save.kind = LayoutSaveKind::pause;
  save.layout = &layout;
  save.baseName = choice.baseName;
  save.elapsedSeconds = seconds;
  writeLayoutFiles(project, save, keeping.extras, console);
  if (!best) return choice.keepRunning;
  const std::string name = choice.baseName + kPoseFilePauseSuffix;
  const SqueezeProblem problem = makeProblem(project);
  try {
    writePoseFile(name,
                  poseFileOf(project, keeping.partFiles, *best, packingHeight(problem, *best)));
  } catch (const InputError& error) {
    console.line(std::string("警告: ") + error.what() + "; 挤压继续。");
  }
  return choice.keepRunning;
}

/// How many paths the squeeze searches and how often they exchange the best layout.
std::string pathsLine(const SqueezeOptions& options) {
  if (options.workers < 2) return "挤压: 1 条路径。";
  return "挤压: " + std::to_string(options.workers) + " 条路径并行, 每条每 " +
         std::to_string(options.exchangeEvery) + " 次移动交换一次最好排样。";
}

void addCounts(SqueezeProgress& total, const SqueezeProgress& part) {
  total.moves += part.moves;
  total.evaluations += part.evaluations;
  total.exactTests += part.exactTests;
  total.repairs += part.repairs;
  total.improvements += part.improvements;
}

}  // namespace

std::string squeezeRefusalOf(const Project& project, const std::string& projectPath) {
  const std::string why = squeezeRefusal(makeProblem(project));
  if (why.empty()) return {};
  return "项目文件\"" + platform::messageText(projectPath) + "\"不能用 --squeeze 排样: " + why +
         "。";
}

Layout layoutOfPoses(const Project& project, const std::vector<Pose>& poses) {
  std::vector<PartPlacement> parts;
  for (std::size_t id = 0; id < poses.size(); ++id)
    parts.push_back(posedPlacement(project, static_cast<int>(id), poses[id].orientation,
                                   poses[id].translation));
  return makeLayout(project, std::move(parts));
}

std::vector<std::string> partFilesOf(const std::string& projectPath) {
  std::ifstream in = openInputFile(projectPath, std::ios::binary);
  std::vector<std::string> files;
  for (const ProjectBlock& block : parseProjectFile(in, projectPath).blocks)
    files.push_back(block.partPath);
  return files;
}

PoseFile poseFileOf(const Project& project, const std::vector<std::string>& partFiles,
                    const std::vector<Pose>& poses, double height) {
  PoseFile file;
  file.partCount = static_cast<int>(poses.size());
  file.RN = project.RN;
  file.orientationCount = project.orientationCount();
  file.height = height;
  for (std::size_t id = 0; id < poses.size(); ++id) {
    const Pose& pose = poses[id];
    file.poses.push_back(
        {static_cast<int>(id), partFiles[static_cast<std::size_t>(project.sourceOfPart[id])],
         pose.orientation, pose.translation.x, pose.translation.y, pose.translation.z, 0});
  }
  return file;
}

SavedLayout readSavedLayout(const Project& project, const std::vector<std::string>& partFiles,
                            const std::string& path) {
  const PoseFile file = readPoseFile(path);
  const auto refuse = [&](int line, const std::string& detail) {
    return lineError(path, line, detail + "; 这个排样位姿文件不属于此项目, 或已损坏");
  };
  if (file.partCount != project.sequenceLength)
    throw refuse(kPartCountLine, "零件数 " + std::to_string(file.partCount) + " 与项目的 " +
                                     std::to_string(project.sequenceLength) + " 个零件不符");
  if (file.RN != project.RN)
    throw refuse(kRNLine, "RN=" + std::to_string(file.RN) +
                              " 与项目的 RN=" + std::to_string(project.RN) + " 不符");
  if (file.orientationCount != project.orientationCount())
    throw refuse(kOrientationCountLine,
                 "姿态数 " + std::to_string(file.orientationCount) + " 与项目的 " +
                     std::to_string(project.orientationCount()) + " 个姿态不符");
  SavedLayout saved;
  for (const PoseRecord& record : file.poses) {
    const std::string& expected =
        partFiles[static_cast<std::size_t>(project.sourceOfPart[record.part])];
    if (record.partFile != expected)
      throw refuse(record.line, "零件 " + std::to_string(record.part) + " 的零件文件 \"" +
                                    platform::messageText(record.partFile) + "\" 与项目中的 \"" +
                                    platform::messageText(expected) + "\" 不符");
    if (record.orientation < 0 || record.orientation >= project.orientationCount())
      throw refuse(record.line, "姿态序号 " + std::to_string(record.orientation) + " 不在 0 到 " +
                                    std::to_string(project.orientationCount() - 1) + " 之间");
    saved.poses.push_back({record.orientation, Point{record.x, record.y, record.z}});
  }
  const LayoutCheck check = checkLayout(makeProblem(project), saved.poses);
  if (!check.outside.empty()) {
    const int part = check.outside.front();
    throw refuse(file.poses[static_cast<std::size_t>(part)].line,
                 "零件 " + std::to_string(part) + " 不完全在容器之内");
  }
  if (!check.interfering.empty()) {
    const auto [i, j] = check.interfering.front();
    throw refuse(file.poses[static_cast<std::size_t>(j)].line,
                 "零件 " + std::to_string(i) + " 与零件 " + std::to_string(j) + " 相交");
  }
  if (check.height != file.height)
    throw refuse(kHeightLine, "排样高度 " + formatExactNumber(file.height) +
                                  " 不是零件位姿给出的高度 " + formatExactNumber(check.height));
  saved.height = check.height;
  return saved;
}

SqueezeRunResult squeezeRun(const Project& project, const Layout& start, SqueezeOptions options,
                            platform::Console& console) {
  const SqueezeProblem problem = makeProblem(project);
  return squeezeRun(project, start, posesFromLayout(problem, start), options, console, {});
}

SqueezeRunResult squeezeRun(const Project& project, const Layout& start,
                            const std::vector<Pose>& startPoses, SqueezeOptions options,
                            platform::Console& console, const SqueezeKeeping& keeping) {
  const SqueezeProblem problem = makeProblem(project);
  const double startHeight = start.measure.height();
  std::mutex consoleMutex;
  PoseKeeper keeper(project, problem, keeping);
  SqueezeRunResult result{start, startPoses, false, {}};
  std::optional<SqueezeResult> best;  // the lowest feasible layout of all squeezes so far
  double secondsBefore = 0.0;         // of the squeezes before the last pause
  {
    std::optional<platform::KeyHold> quietKeys;
    if (keeping.pauseKey) quietKeys.emplace(console);
    SqueezeWatch watch(keeper, console, consoleMutex, keeping.pauseKey);
    std::optional<platform::InterruptNotice> notice(
        std::in_place,
        "收到中断 (Ctrl-C): 挤压将停止, 并写出已找到的最好排样。再按一次 Ctrl-C 将立即退出。");
    options.stop = &watch.stop;
    std::vector<Pose> from = startPoses;
    for (;;) {
      const SqueezeResult squeezed = squeezeLayout(
          problem, from, options, [&](const std::vector<Pose>& poses, SqueezeProgress progress) {
            progress.seconds += secondsBefore;
            if (!(progress.height < startHeight)) return;
            keeper.offer(poses, progress.height);
            const std::lock_guard<std::mutex> hold(consoleMutex);
            if (keeping.log)
              keeping.log->line(squeezeLine(progress));
            else
              console.line(squeezeLine(progress));
          });
      if (squeezed.feasible && (!best || squeezed.progress.height < best->progress.height))
        best = squeezed;
      addCounts(result.progress, squeezed.progress);
      secondsBefore += squeezed.progress.seconds;
      if (!watch.paused.load() || platform::interruptRequested()) break;
      // The pause: the search waits, the dialogue runs, then the squeeze goes on from the best
      // layout so far for the time that is left.
      const std::vector<Pose>& sofar = best ? best->poses : startPoses;
      notice.reset();
      const bool goOn = squeezePause(project, keeping, start, best ? &best->poses : nullptr,
                                     secondsBefore, console);
      notice.emplace(
          "收到中断 (Ctrl-C): 挤压将停止, 并写出已找到的最好排样。再按一次 Ctrl-C 将立即退出。");
      if (options.timeLimit > 0.0) options.timeLimit -= squeezed.progress.seconds;
      if (!goOn || (options.moveBudget == 0 && !(options.timeLimit > 0.0))) break;
      from = sofar;
      watch.stop.store(false);
      watch.paused.store(false);
    }
  }
  result.progress.seconds = secondsBefore;
  if (best) result.progress.height = best->progress.height;
  if (best && checkLayout(problem, best->poses).feasible()) {
    Layout layout = layoutOfPoses(project, best->poses);
    if (layout.measure.height() < startHeight) {
      result.layout = std::move(layout);
      result.poses = best->poses;
      result.squeezed = true;
    }
  }
  if (const std::string failure = keeper.flush(); !failure.empty()) console.line(failure);
  if (keeping.log) {
    char text[160];
    std::snprintf(text, sizeof text, "挤压结束: 排样高度=%.6f, %.2f 秒, %llu 次移动",
                  result.layout.measure.height(), secondsBefore,
                  static_cast<unsigned long long>(result.progress.moves));
    keeping.log->line(text);
  }
  return result;
}

std::optional<SavedLayout> layoutFileOfRun(const Arguments& arguments, const Project& project,
                                           const std::string& projectPath) {
  if (arguments.layout)
    for (const std::string& output : filesOfTheRun(arguments, {}))
      if (sameFile(*arguments.layout, output))
        throw InputError("排样位姿文件\"" + platform::messageText(*arguments.layout) +
                             "\"就是本次运行的输出 \"" + platform::messageText(output) +
                             "\", 写出会覆盖它; 请先给它换一个名字。",
                         InputError::Channel::StandardError);
  std::error_code missing;
  if (!arguments.layout && !(arguments.squeeze && std::filesystem::exists(kPoseFileName, missing)))
    return std::nullopt;
  return readSavedLayout(project, partFilesOf(projectPath),
                         arguments.layout.value_or(kPoseFileName));
}

SqueezeKeeping keepingOfRun(const SearchOptions& options, const std::string& projectPath) {
  SqueezeKeeping keeping;
  keeping.poseFileName = kPoseFileName;
  keeping.partFiles = partFilesOf(projectPath);
  keeping.pauseKey = true;
  keeping.extras = options.extras;
  keeping.protectedFiles = options.protectedFiles;
  keeping.protectedFiles.push_back(options.sequenceFileName);
  keeping.protectedFiles.push_back(options.logFileName);
  return keeping;
}

SqueezeRunResult squeezeFromStart(const Project& project, const Layout& greedy,
                                  const std::optional<SavedLayout>& saved,
                                  const SqueezeOptions& options, SqueezeKeeping keeping,
                                  const std::string& logFileName, platform::Console& console) {
  SearchLog log(console, logFileName);
  keeping.log = &log;
  log.line(pathsLine(options));
  if (saved) {
    keeping.savedHeight = saved->height;
    Layout layout = layoutOfPoses(project, saved->poses);
    const bool lower = layout.measure.height() < greedy.measure.height();
    log.line(std::string("挤压: 排样位姿文件 \"") + kPoseFileName +
             "\" 中的排样高度=" + formatNumber(layout.measure.height()) +
             (lower ? ", 低于初始排样: 从它继续挤压。" : ", 不低于初始排样: 从初始排样开始挤压。"));
    if (lower) return squeezeRun(project, layout, saved->poses, options, console, keeping);
  }
  return squeezeRun(project, greedy, posesFromLayout(makeProblem(project), greedy), options,
                    console, keeping);
}

}  // namespace tessera
