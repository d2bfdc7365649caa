#include "search/optimizer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "geometry/assert.h"
#include "formats/number_format.h"
#include "formats/sequence_file.h"
#include "formats/text_lines.h"
#include "model/input_error.h"
#include "placement/evaluation.h"
#include "placement/occupancy_grid.h"
#include "platform/encoding.h"
#include "platform/interrupt.h"
#include "search/evaluator.h"
#include "search/pause.h"
#include "search/sequences.h"
#include "search/startup_dialogue.h"

namespace tessera {

Evaluator evaluatorOf(const SearchOptions& options) {
  if (options.evaluator) return options.evaluator;
  return [](PackingSystem& system, const PackingSequence& sequence) {
    return evaluate(system, sequence);
  };
}

namespace {

/// Formats values the way a default output stream does (six significant digits).
template <typename... Values>
std::string text(const Values&... values) {
  std::ostringstream out;
  (out << ... << values);
  return out.str();
}

/// Each line goes to the console, then to the log file (in GBK) as one whole record. A write
/// that fails (a full disk, a file size limit) is cut back to the last whole record before it
/// is reported, so the log never ends inside a line or a character.
class SearchLog {
 public:
  SearchLog(platform::Console& console, std::string fileName)
      : console_(console), fileName_(std::move(fileName)) {
    fd_ = ::open(fileName_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) throw failure(std::strerror(errno));
  }
  ~SearchLog() {
    if (fd_ >= 0) ::close(fd_);
  }
  SearchLog(const SearchLog&) = delete;
  SearchLog& operator=(const SearchLog&) = delete;

  void line(const std::string& utf8) {
    console_.line(utf8);
    const std::string record = platform::utf8ToGbk(utf8) + '\n';
    const off_t wholeUpTo = ::lseek(fd_, 0, SEEK_END);
    std::size_t done = 0;
    while (done < record.size()) {
      const ssize_t written = ::write(fd_, record.data() + done, record.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        const std::string reason = written < 0 ? std::strerror(errno) : "nothing written";
        // A device (/dev/full) has no length to cut back; a regular file does.
        if (done > 0 && wholeUpTo >= 0 && ::ftruncate(fd_, wholeUpTo) != 0)
          throw failure(reason + "; cutting the partial line off failed too");
        throw failure(reason);
      }
      done += static_cast<std::size_t>(written);
    }
  }

 private:
  InputError failure(const std::string& reason) const {
    return InputError("report2 file open error!\n日志文件 \"" + fileName_ + "\" 写入失败 (" +
                          reason + ")",
                      InputError::Channel::StandardError);
  }

  platform::Console& console_;
  std::string fileName_;
  int fd_ = -1;
};

PackingSequence identitySequence(int n) {
  PackingSequence s;
  for (int i = 0; i < n; ++i) s.items.push_back(i);
  return s;
}

/// First name beside path that is free: path + ".bak", then ".bak2", ".bak3", ...
std::string freeBackupName(const std::string& path) {
  std::string name = path + ".bak";
  for (int i = 2; std::filesystem::exists(name); ++i) name = path + ".bak" + std::to_string(i);
  return name;
}

InputError unreadableSequenceFile(const std::string& fileName, const std::string& reason) {
  return InputError(std::string(unreadableFile(fileName).what()) + " (" + reason +
                    "): 该文件保持不变; 请先让它可读, 或把它移走后从初始序列开始。");
}

/// The starting solution from the sequence file when it fits the project; otherwise the
/// file is kept under a backup name and the search starts afresh. Returns whether it was used.
bool resumeFromSequenceFile(PackingSystem& system, platform::Console& console,
                            const std::string& fileName, PackingSequence& current,
                            TypeSequenceArchive& archive) {
  // A folder or a pipe under the name could be neither read nor replaced: say so now rather
  // than fail at the end of the search.
  std::error_code statusError;
  const std::filesystem::file_status status = std::filesystem::status(fileName, statusError);
  if (status.type() == std::filesystem::file_type::not_found) return false;
  // A file that is there but cannot be read holds a history this run would replace with a
  // shorter one: refuse rather than start afresh.
  if (statusError) throw unreadableSequenceFile(fileName, statusError.message());
  if (!std::filesystem::is_regular_file(status)) throw unreadableFile(fileName);
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw unreadableSequenceFile(fileName, std::strerror(errno));
  SequenceFileContents contents = readSequenceFile(system, in);
  in.close();
  if (contents.readFailed) throw unreadableSequenceFile(fileName, "read error");
  if (const auto reason = checkSequenceFile(system, contents)) {
    const std::string backup = freeBackupName(fileName);
    std::error_code ec;
    std::filesystem::copy_file(fileName, backup, ec);
    console.line("警告: 排样序列文件 \"" + fileName + "\" 与当前项目不符 (" + *reason +
                 "), 不予使用; 从初始序列开始搜索。原文件已保存为 \"" + backup + "\"。");
    if (ec) throw InputError("无法保存排样序列文件的备份 \"" + backup + "\": " + ec.message(),
                             InputError::Channel::StandardError);
    return false;
  }
  current = contents.idSequence;
  archive = std::move(contents.archive);
  return true;
}

/// A resumed best is laid out once: when its efficiency is no longer the recorded one (the
/// project or the file changed), a stale record would never be beaten. The evaluated value
/// replaces it, the archive (recorded the same way) starts afresh from it, and the file is
/// kept under a backup name. Records agree to the six digits the file holds.
void recheckResumedBest(PackingSystem& system, platform::Console& console,
                        const Evaluator& evaluateSequence, const std::string& fileName,
                        PackingSequence& current, TypeSequenceArchive& archive) {
  const double evaluated = evaluateSequence(system, current);
  system.masterParts.copyInto(system.parts);
  if (formatNumber(evaluated) == formatNumber(current.efficiency)) return;
  const std::string backup = freeBackupName(fileName);
  std::error_code ec;
  std::filesystem::copy_file(fileName, backup, ec);
  console.line("警告: 排样序列文件 \"" + fileName + "\" 记录的最优排样效率 " +
               formatNumber(current.efficiency) + " 与其排样实际得到的 " + formatNumber(evaluated) +
               " 不符 (项目或文件已改动); 采用实际值, 文件中记录的各序列效率不再可比, 不予使用。"
               "原文件已保存为 \"" + backup + "\"。");
  if (ec) throw InputError("无法保存排样序列文件的备份 \"" + backup + "\": " + ec.message(),
                           InputError::Channel::StandardError);
  current.efficiency = evaluated;
  archive = TypeSequenceArchive();
  archive.insertSorted(toTypeSequence(system, current));
}

double seconds(std::int64_t from, std::int64_t to, std::int64_t frequency) {
  return static_cast<double>(to - from) / static_cast<double>(frequency);
}

/// Saves the sequence file during the search when enough iterations or seconds have passed
/// since the last save, and the last save's cost allows it (its duration over the time share
/// has passed since it ended). A save that fails leaves the old file (the writer is atomic),
/// is reported, and is tried again one interval later.
class PeriodicSave {
 public:
  PeriodicSave(const SearchOptions& options, SearchServices services)
      : options_(options), services_(services), lastCount_(services.clock.counter()) {}

  void afterIteration(const PackingSystem& system, const TypeSequenceArchive& archive,
                      const PackingSequence& best) {
    ++unsaved_;
    const std::int64_t now = services_.clock.counter();
    const bool byIterations =
        options_.saveEveryIterations > 0 && unsaved_ >= options_.saveEveryIterations;
    const bool bySeconds = options_.saveEverySeconds > 0.0 &&
                           seconds(lastCount_, now, services_.clock.frequency()) >=
                               options_.saveEverySeconds;
    if (!byIterations && !bySeconds) return;
    if (now < quietUntil_) return;
    unsaved_ = 0;
    lastCount_ = now;
    const std::int64_t saveStart = services_.clock.counter();
    try {
      writeSequenceFile(system, archive, options_.sequenceFileName, best);
    } catch (const InputError& error) {
      services_.console.line("警告: 搜索中途保存排样序列文件 \"" + options_.sequenceFileName +
                             "\" 失败 (" + error.what() + "), 原文件保持不变; 稍后再试。");
    }
    const std::int64_t saveEnd = services_.clock.counter();
    if (options_.saveTimeShare > 0.0)
      quietUntil_ = saveEnd + static_cast<std::int64_t>(
                                  static_cast<double>(saveEnd - saveStart) / options_.saveTimeShare);
  }

 private:
  const SearchOptions& options_;
  SearchServices services_;
  std::int64_t lastCount_;
  int unsaved_ = 0;  // iterations since the last save
  std::int64_t quietUntil_ = 0;  // no save before this count
};

}  // namespace

void optimize(PackingSystem& system, SearchServices services, const SearchOptions& options) {
  platform::Console& console = services.console;
  const Evaluator evaluateSequence = evaluatorOf(options);
  const int planned = startupDialogue(console, options.iterations);

  buildGrid(system);
  system.buildOrientations();

  PackingSequence current;
  TypeSequenceArchive archive;
  if (!resumeFromSequenceFile(system, console, options.sequenceFileName, current, archive)) {
    current = identitySequence(system.sequenceLength);
    archive = TypeSequenceArchive();
    const double e0 = evaluateSequence(system, current);
    system.masterParts.copyInto(system.parts);
    current.efficiency = e0;
    archive.insertSorted(toTypeSequence(system, current));
  } else {
    recheckResumedBest(system, console, evaluateSequence, options.sequenceFileName, current,
                       archive);
  }
  double currentEfficiency = current.efficiency;
  PackingSequence best = current;
  double bestEfficiency = currentEfficiency;

  double totalVolume = 0.0;
  for (const Part& part : system.parts) totalVolume += part.volume;
  const Polyhedron& box = system.container;
  const double area = (box.boxMax.x - box.boxMin.x) * (box.boxMax.y - box.boxMin.y);

  SearchLog log(console, options.logFileName);

  SearchTiming timing;
  timing.frequency = services.clock.frequency();
  timing.startCount = services.clock.counter();
  timing.pauseTotal = 0.0;
  const double step = 0.01 / planned;
  double temperature = 0.01;
  double sum = 0.0;
  double minimum = 0.0;
  double maximum = 0.0;
  int completed = 0;
  bool running = true;
  PeriodicSave periodicSave(options, services);

  log.line(text("  初始排样序列:排样高度=", totalVolume / currentEfficiency / area,
                ",排样效率=", currentEfficiency));

  while (completed < planned && running) {
    const int k = completed + 1;
    if (typeSequencesExhausted(system, archive)) {
      console.line("所有不同的零件类型序列均已评估过, 没有新的邻域解可生成: 搜索提前结束。");
      break;
    }
    log.line(text("第", k, "次模拟退火:"));
    log.line(text("  当前温度=", temperature));
    log.line(text("  最优排样效率=", bestEfficiency, "; 当前排样效率=", currentEfficiency));

    std::optional<PackingSequence> made = makeNeighbour(system, current, archive, services.random);
    TESSERA_ASSERT(made.has_value());  // exhaustion was ruled out above
    if (!made) break;
    PackingSequence neighbour = std::move(*made);
    const double neighbourEfficiency = evaluateSequence(system, neighbour);
    system.masterParts.copyInto(system.parts);

    sum += neighbourEfficiency;
    if (completed == 0) {
      minimum = maximum = neighbourEfficiency;
    } else {
      if (neighbourEfficiency < minimum) minimum = neighbourEfficiency;
      if (neighbourEfficiency > maximum) maximum = neighbourEfficiency;
    }

    neighbour.efficiency = neighbourEfficiency;
    archive.insertSorted(toTypeSequence(system, neighbour));

    log.line("  生成的邻域排样序列:");
    log.line(text("  排样效率=", neighbourEfficiency, ";排样高度=",
                  totalVolume / neighbourEfficiency / area));

    bool better = false;
    bool accepted = false;
    if (neighbourEfficiency > currentEfficiency) {
      better = accepted = true;
      current = neighbour;
      currentEfficiency = neighbourEfficiency;
    } else {
      const double r = services.random.next() / 32767.0;
      const double p = std::exp(-std::fabs(currentEfficiency - neighbourEfficiency) / temperature);
      log.line(text("  随机数=", r, " ;接受概率=", p));
      if (p > r) {
        accepted = true;
        current = neighbour;
        currentEfficiency = neighbourEfficiency;
      }
    }
    bool newBest = false;
    if (neighbourEfficiency > bestEfficiency) {
      best = neighbour;
      bestEfficiency = neighbourEfficiency;
      newBest = true;
    }

    log.line(better ? "  邻域解优于当前解" : "  邻域解次于当前解");
    log.line(accepted ? "  邻域解被接受成为当前解" : "  邻域解被拒绝成为当前解");
    log.line(newBest ? "  邻域解优于最优解" : "  邻域解次于最优解");

    if (!pauseCheck(system, services, options, k, best, archive, timing)) running = false;
    if (running && platform::interruptRequested()) {
      console.line("收到中断 (Ctrl-C): 本次迭代已完成, 搜索正常结束并写出全部结果。"
                   "再按一次 Ctrl-C 将立即退出。");
      running = false;
    }

    temperature = temperature - step;
    completed = k;
    // When the search ends here the final write follows at once.
    if (running && completed < planned) periodicSave.afterIteration(system, archive, best);
  }

  const double average = sum / completed;
  const std::int64_t endCount = services.clock.counter();
  const double total = seconds(timing.startCount, endCount, timing.frequency);
  console.line(text("Total Computing time =", total, "s."));
  console.line(text("Pausing time =", timing.pauseTotal, "s."));

  char buffer[100];
  std::snprintf(buffer, sizeof buffer, "%.2f 秒", total - timing.pauseTotal);
  system.computingTimeText = buffer;

  log.line(text("  本次计划迭代", planned, "次迭代,实际完成", completed, "次迭代."));
  log.line(text("  本次模拟退火算法实际耗费时间:", system.computingTimeText,
                ", 目前最优排样高度=", totalVolume / bestEfficiency / area,
                ", 最优排样效率=", bestEfficiency));
  if (completed > 0) {
    log.line(text("  最低排样效率=", minimum, ", 最高排样效率=", maximum,
                  ", 平均排样效率=", average));
  } else {
    log.line("  最低排样效率=无, 最高排样效率=无, 平均排样效率=无");
  }

  // Written before the final evaluation, which does not change it, so that a search killed
  // during that evaluation has already kept every iteration.
  writeSequenceFile(system, archive, options.sequenceFileName, best);
  evaluateSequence(system, best);
}

}  // namespace tessera
