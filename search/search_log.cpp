#include "search/search_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "model/input_error.h"
#include "platform/encoding.h"

namespace tessera {

namespace {

/// Values the way a default output stream writes them (six significant digits).
template <typename... Values>
std::string text(const Values&... values) {
  std::ostringstream out;
  (out << ... << values);
  return out.str();
}

InputError logFailure(const std::string& fileName, const std::string& reason) {
  return InputError(
      "report2 file open error!\n日志文件 \"" + fileName + "\" 写入失败 (" + reason + ")",
      InputError::Channel::StandardError);
}

}  // namespace

SearchLog::SearchLog(platform::Console& console, std::string fileName)
    : console_(console), fileName_(std::move(fileName)) {
  fd_ = ::open(fileName_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd_ < 0 && errno == ELOOP) {
    fd_ = ::open(fileName_.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
    struct stat target {};
    if (fd_ >= 0 && !(::fstat(fd_, &target) == 0 && S_ISCHR(target.st_mode))) {
      ::close(fd_);
      fd_ = -1;
    }
    if (fd_ < 0)
      throw logFailure(fileName_,
                       "它是指向文件的符号链接; 日志不会经由链接写入别的文件, 请删除该链接");
    ::fcntl(fd_, F_SETFL, O_APPEND);
  }
  if (fd_ < 0) throw logFailure(fileName_, std::strerror(errno));
}

SearchLog::~SearchLog() {
  if (fd_ >= 0) ::close(fd_);
}

void SearchLog::line(const std::string& utf8) {
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
        throw logFailure(fileName_, reason + "; cutting the partial line off failed too");
      throw logFailure(fileName_, reason);
    }
    done += static_cast<std::size_t>(written);
  }
}

void SearchLog::started(const StartRecord& r) {
  line(text("  初始排样序列:排样高度=", r.height, ",排样效率=", r.efficiency));
}

void SearchLog::iterated(const IterationRecord& r) {
  if (!r.finished) {
    line(text("第", r.iteration, "次模拟退火:"));
    line(text("  当前温度=", r.temperature));
    line(text("  最优排样效率=", r.bestEfficiency, "; 当前排样效率=", r.currentEfficiency));
    return;
  }
  line("  生成的邻域排样序列:");
  line(text("  排样效率=", r.neighbourEfficiency, ";排样高度=", r.neighbourHeight));
  if (r.drew) line(text("  随机数=", r.draw, " ;接受概率=", r.acceptance));
  line(r.better ? "  邻域解优于当前解" : "  邻域解次于当前解");
  line(r.accepted ? "  邻域解被接受成为当前解" : "  邻域解被拒绝成为当前解");
  line(r.newBest ? "  邻域解优于最优解" : "  邻域解次于最优解");
}

void SearchLog::exchanged(const ExchangeRecord& r) {
  line(text("第", r.exchange, "次链间交换 (", r.chains, " 条链, 每条已完成 ", r.completed,
            " 次迭代): 最优排样效率=", r.bestEfficiency, ", 最优排样高度=", r.bestHeight, ", ",
            r.foundBy < 0 ? std::string("初始排样序列") : text("由第 ", r.foundBy, " 条链找到")));
}

void SearchLog::stopped(SearchStop stop, double timeLimitSeconds) {
  switch (stop) {
    case SearchStop::exhausted:
      line("所有不同的零件类型序列均已评估过, 没有新的邻域解可生成: 搜索提前结束。");
      break;
    case SearchStop::timeLimit:
      line(text("已达到时间限制 ", timeLimitSeconds,
                " 秒: 本次迭代已完成, 搜索结束并写出全部结果。"));
      break;
    case SearchStop::interrupted:  // the console's own: the log records the search only
      console_.line(
          "收到中断 (Ctrl-C): 本次迭代已完成, 搜索正常结束并写出全部结果。"
          "再按一次 Ctrl-C 将立即退出。");
      break;
    case SearchStop::none:
    case SearchStop::paused:
      break;
  }
}

void SearchLog::finished(const FinishRecord& r) {
  console_.line(text("Total Computing time =", r.totalSeconds, "s."));
  console_.line(text("Pausing time =", r.pauseSeconds, "s."));
  line(text("  本次计划迭代", r.planned, "次迭代,实际完成", r.completed, "次迭代."));
  line(text("  本次模拟退火算法实际耗费时间:", r.computingTimeText,
            ", 目前最优排样高度=", r.bestHeight, ", 最优排样效率=", r.bestEfficiency));
  if (r.completed > 0) {
    line(text("  最低排样效率=", r.minimum, ", 最高排样效率=", r.maximum,
              ", 平均排样效率=", r.average));
  } else {
    line("  最低排样效率=无, 最高排样效率=无, 平均排样效率=无");
  }
}

}  // namespace tessera
