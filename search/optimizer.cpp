#include "search/optimizer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
#include "search/chains.h"
#include "search/evaluator.h"
#include "search/log_text.h"
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

/// Each line goes to the console, then to the log file (in GBK) as one whole record. A write
/// that fails (a full disk, a file size limit) is cut back to the last whole record before it
/// is reported, so the log never ends inside a line or a character.
class SearchLog {
 public:
  SearchLog(platform::Console& console, std::string fileName)
      : console_(console), fileName_(std::move(fileName)) {
    // Never through a symbolic link into a file, which the log would grow; a link to a device
    // (/dev/null, to keep no log) changes no file.
    fd_ = ::open(fileName_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno == ELOOP) {
      fd_ = ::open(fileName_.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
      struct stat target {};
      if (fd_ >= 0 && !(::fstat(fd_, &target) == 0 && S_ISCHR(target.st_mode))) {
        ::close(fd_);
        fd_ = -1;
      }
      if (fd_ < 0)
        throw failure("它是指向文件的符号链接; 日志不会经由链接写入别的文件, 请删除该链接");
      ::fcntl(fd_, F_SETFL, O_APPEND);
    }
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
  console.line(
      "警告: 排样序列文件 \"" + fileName + "\" 记录的最优排样效率 " +
      formatNumber(current.efficiency) + " 与其排样实际得到的 " + formatNumber(evaluated) +
      " 不符 (项目或文件已改动, 或者文件是在另一种放置规则下搜索得到的; 本次运行的放置规则为 "
      "--placement " +
      (system.placementRule == PlacementRule::lowestTop ? "lowest-top" : "lowest-point") +
      "); 采用实际值, 文件中记录的各序列效率不再可比, 不予使用。"
      "原文件已保存为 \"" +
      backup + "\"。");
  if (ec) throw InputError("无法保存排样序列文件的备份 \"" + backup + "\": " + ec.message(),
                           InputError::Channel::StandardError);
  current.efficiency = evaluated;
  archive = TypeSequenceArchive();
  archive.insertSorted(toTypeSequence(system, current));
}

double seconds(std::int64_t from, std::int64_t to, std::int64_t frequency) {
  return static_cast<double>(to - from) / static_cast<double>(frequency);
}

/// Whether the computing time so far (pauses not counted) has reached the time limit.
bool timeLimitReached(const SearchOptions& options, platform::Clock& clock,
                      const SearchTiming& timing) {
  if (!options.timeLimitSeconds) return false;
  const double elapsed = seconds(timing.startCount, clock.counter(), timing.frequency);
  return elapsed - timing.pauseTotal >= *options.timeLimitSeconds;
}

/// Saves the sequence file during the search when enough iterations or seconds have passed
/// since the last save, and the last save's cost allows it (its duration over the time share
/// has passed since it ended). A save that fails leaves the old file (the writer is atomic),
/// is reported, and is tried again one interval later.
class PeriodicSave {
 public:
  PeriodicSave(const SearchOptions& options, SearchServices services)
      : options_(options), services_(services), lastCount_(services.clock.counter()) {}

  void afterIterations(const PackingSystem& system, const TypeSequenceArchive& archive,
                       const PackingSequence& best, int iterations) {
    unsaved_ += iterations;
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
  // Until the search ends: no key echo, and Ctrl-C answered at once.
  std::optional<platform::KeyHold> quietKeys(std::in_place, console);
  std::optional<platform::InterruptNotice> interruptNotice(
      std::in_place,
      "收到中断 (Ctrl-C): 搜索将在本次迭代结束后停止, 并写出全部结果。再按一次 Ctrl-C 将立即退出。");

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
  HeightOf height;
  for (const Part& part : system.parts) height.totalVolume += part.volume;
  const Polyhedron& box = system.container;
  height.area = (box.boxMax.x - box.boxMin.x) * (box.boxMax.y - box.boxMin.y);

  SearchLog log(console, options.logFileName);

  SearchTiming timing;
  timing.frequency = services.clock.frequency();
  timing.startCount = services.clock.counter();
  timing.pauseTotal = 0.0;
  AnnealingChain lead(current, Cooling(options.schedule, options.startTemperature, planned));
  lead.maxSwaps = options.maxSwaps;
  bool running = true;
  PeriodicSave periodicSave(options, services);

  log.line(text("  初始排样序列:排样高度=", height(lead.current.efficiency),
                ",排样效率=", lead.current.efficiency));

  const char* const exhaustedLine =
      "所有不同的零件类型序列均已评估过, 没有新的邻域解可生成: 搜索提前结束。";
  // What happens once `iterations` more are done: the pause, Ctrl-C, the time limit and the
  // periodic save. Returns whether the search goes on.
  const auto afterIterations = [&](int iteration, int iterations, const PackingSequence& best) {
    if (!pauseCheck(system, services, options, iteration, best, archive, timing)) return false;
    if (platform::interruptRequested()) {
      console.line("收到中断 (Ctrl-C): 本次迭代已完成, 搜索正常结束并写出全部结果。"
                   "再按一次 Ctrl-C 将立即退出。");
      return false;
    }
    if (iteration >= planned) return false;
    if (timeLimitReached(options, services.clock, timing)) {
      log.line(text("已达到时间限制 ", *options.timeLimitSeconds,
                    " 秒: 本次迭代已完成, 搜索结束并写出全部结果。"));
      return false;
    }
    // When the search ends here the final write follows at once.
    periodicSave.afterIterations(system, archive, best, iterations);
    return true;
  };

  // The figures of the closing lines: the lead chain's iterations, every chain's neighbours.
  PackingSequence best;
  int completed = 0;
  int evaluated = 0;
  double sum = 0.0;
  double minimum = 0.0;
  double maximum = 0.0;
  if (options.chains <= 1) {
    const LineSink say = [&log](const std::string& line) { log.line(line); };
    while (lead.completed < planned && running) {
      if (!annealingStep(system, evaluateSequence, lead, archive, services.random, height, 0, say,
                         nullptr)) {
        log.line(exhaustedLine);
        break;
      }
      running = afterIterations(lead.completed, 1, lead.best);
    }
    best = lead.best;
    completed = evaluated = lead.completed;
    sum = lead.sum;
    minimum = lead.minimum;
    maximum = lead.maximum;
  } else {
    ChainSet::Settings settings;
    settings.chains = options.chains;
    settings.threads = options.threads;
    settings.seed = options.seed;
    settings.transport = options.transport;
    settings.makeEvaluator = [&options](int threads) {
      if (options.chainEvaluator) return options.chainEvaluator(threads);
      return Evaluator([](PackingSystem& s, const PackingSequence& sequence) {
        return evaluate(s, sequence);
      });
    };
    ChainSet chains(system, lead, archive, settings, services.random);
    for (int exchange = 1; running && chains.chain(0).completed < planned; ++exchange) {
      const int done = chains.chain(0).completed;
      const int iterations = std::min(options.exchangeEvery, planned - done);
      ChainSet::Round round = chains.run(iterations, height);
      for (const std::string& line : round.leadLines) log.line(line);
      chains.exchange(archive);
      const AnnealingChain& top = chains.chain(chains.bestChain());
      log.line(text("第", exchange, "次链间交换 (", chains.count(), " 条链, 每条已完成 ",
                    chains.chain(0).completed, " 次迭代): 最优排样效率=", top.best.efficiency,
                    ", 最优排样高度=", height(top.best.efficiency), ", ",
                    top.bestFoundBy < 0 ? std::string("初始排样序列")
                                        : text("由第 ", top.bestFoundBy, " 条链找到")));
      if (round.exhausted) {
        log.line(exhaustedLine);
        break;
      }
      running = afterIterations(chains.chain(0).completed, chains.chain(0).completed - done,
                                top.best);
    }
    best = chains.chain(chains.bestChain()).best;
    completed = chains.chain(0).completed;
    for (int c = 0; c < chains.count(); ++c) {
      const AnnealingChain& chain = chains.chain(c);
      if (chain.completed == 0) continue;
      sum += chain.sum;
      if (evaluated == 0 || chain.minimum < minimum) minimum = chain.minimum;
      if (evaluated == 0 || chain.maximum > maximum) maximum = chain.maximum;
      evaluated += chain.completed;
    }
  }
  const double bestEfficiency = best.efficiency;
  interruptNotice.reset();
  quietKeys.reset();

  const double average = sum / evaluated;
  const std::int64_t endCount = services.clock.counter();
  const double total = seconds(timing.startCount, endCount, timing.frequency);
  console.line(text("Total Computing time =", total, "s."));
  console.line(text("Pausing time =", timing.pauseTotal, "s."));

  char buffer[100];
  std::snprintf(buffer, sizeof buffer, "%.2f 秒", total - timing.pauseTotal);
  system.computingTimeText = buffer;

  log.line(text("  本次计划迭代", planned, "次迭代,实际完成", completed, "次迭代."));
  log.line(text("  本次模拟退火算法实际耗费时间:", system.computingTimeText,
                ", 目前最优排样高度=", height(bestEfficiency),
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
