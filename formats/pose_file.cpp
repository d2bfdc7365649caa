#include "formats/pose_file.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "formats/atomic_file.h"
#include "formats/number_format.h"
#include "formats/text_lines.h"
#include "model/input_error.h"
#include "platform/encoding.h"

namespace tessera {
namespace {

constexpr std::string_view kMarker = "Optimal PoseLayoutForPack";
constexpr std::string_view kEndMarker = "#FileEnd";
constexpr const char* kPartForm = "零件行应为 序号,\"零件文件\",姿态序号,x,y,z";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<long long> wholeNumber(std::string_view text) {
  text = trimmed(text);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

std::optional<double> finiteNumber(std::string_view text) {
  text = trimmed(text);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return {};
  return value;
}

/// The input line by line, LF or CR LF, counting lines.
class PoseLines {
 public:
  PoseLines(std::istream& in, std::string path) : in_(in), path_(std::move(path)) {}

  /// The next line; the end of the file before "#FileEnd" is refused as a file cut short.
  std::string next() {
    std::string line;
    if (!std::getline(in_, line)) {
      if (in_.bad()) throw unreadableFile(path_);
      throw error(line_ + 1, "文件提前结束, 缺少 \"#FileEnd\": 文件不完整");
    }
    ++line_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  int line() const { return line_; }
  InputError error(int line, const std::string& detail) const {
    return lineError(path_, line, detail);
  }

  /// A header line "label" followed by a number read by read.
  template <typename Read>
  auto header(std::string_view label, Read read, const std::string& what) {
    const std::string text = next();
    const auto value = text.rfind(label, 0) == 0 ? read(std::string_view(text).substr(label.size()))
                                                 : decltype(read(std::string_view{})){};
    if (!value)
      throw error(line_, "应为 \"" + std::string(label) + "\" 和" + what + ", 读到 \"" +
                             platform::messageText(text) + "\"");
    return *value;
  }

 private:
  std::istream& in_;
  std::string path_;
  int line_ = 0;
};

int count(PoseLines& lines, std::string_view label, const std::string& what) {
  const long long n = lines.header(label, wholeNumber, what);
  if (n < 0 || n > 100000000)
    throw lines.error(lines.line(), what + " " + std::to_string(n) + " 不在 0 到 100000000 之间");
  return static_cast<int>(n);
}

PoseRecord partLine(const PoseLines& lines, const std::string& text, int expectedId) {
  const auto refuse = [&](const std::string& why) {
    return lines.error(lines.line(), std::string(kPartForm) + ", 读到 \"" +
                                         platform::messageText(text) + "\"" + why);
  };
  const std::string_view view(text);
  const std::size_t open = view.find(",\"");
  const std::size_t close = open == std::string_view::npos ? open : view.find("\",", open + 2);
  if (close == std::string_view::npos) throw refuse("");
  PoseRecord record;
  record.line = lines.line();
  const std::optional<long long> id = wholeNumber(view.substr(0, open));
  if (!id) throw refuse("");
  if (*id != expectedId) throw refuse(" (零件序号应为 " + std::to_string(expectedId) + ")");
  record.part = expectedId;
  record.partFile = std::string(view.substr(open + 2, close - open - 2));
  std::string_view rest = view.substr(close + 2);
  std::string_view fields[4];
  for (int f = 0; f < 4; ++f) {
    const std::size_t comma = f < 3 ? rest.find(',') : rest.size();
    if (comma == std::string_view::npos) throw refuse("");
    fields[f] = rest.substr(0, comma);
    rest = f < 3 ? rest.substr(comma + 1) : std::string_view{};
  }
  const std::optional<long long> orientation = wholeNumber(fields[0]);
  const std::optional<double> x = finiteNumber(fields[1]);
  const std::optional<double> y = finiteNumber(fields[2]);
  const std::optional<double> z = finiteNumber(fields[3]);
  if (!orientation || *orientation < INT32_MIN || *orientation > INT32_MAX || !x || !y || !z)
    throw refuse("");
  record.orientation = static_cast<int>(*orientation);
  record.x = *x;
  record.y = *y;
  record.z = *z;
  return record;
}

}  // namespace

void writePoseFile(std::ostream& out, const PoseFile& file) {
  out << kMarker << '\n'
      << "Part Count=" << file.partCount << '\n'
      << "RN=" << file.RN << '\n'
      << "Orientation Count=" << file.orientationCount << '\n'
      << "Packing Height=" << formatExactNumber(file.height) << '\n';
  for (const PoseRecord& p : file.poses)
    out << p.part << ",\"" << p.partFile << "\"," << p.orientation << ',' << formatExactNumber(p.x)
        << ',' << formatExactNumber(p.y) << ',' << formatExactNumber(p.z) << '\n';
  out << kEndMarker << '\n';
}

void writePoseFile(const std::string& path, const PoseFile& file) {
  AtomicFile out(path);
  writePoseFile(out.stream(), file);
  if (!out.commit())
    throw InputError(
        "排样位姿文件\"" + platform::messageText(path) + "\"写入失败 (" + out.failure() + ")",
        InputError::Channel::StandardError);
}

PoseFile readPoseFile(std::istream& in, const std::string& path) {
  PoseLines lines(in, path);
  std::string first = lines.next();
  if (first.rfind("\xEF\xBB\xBF", 0) == 0) first.erase(0, 3);
  if (first != kMarker)
    throw lines.error(1, "不是排样位姿文件 (第一行应为 \"" + std::string(kMarker) + "\")");
  PoseFile file;
  file.partCount = count(lines, "Part Count=", "零件数");
  file.RN = count(lines, "RN=", "RN");
  file.orientationCount = count(lines, "Orientation Count=", "姿态数");
  file.height = lines.header("Packing Height=", finiteNumber, "排样高度");
  for (std::string text = lines.next(); text != kEndMarker; text = lines.next())
    file.poses.push_back(partLine(lines, text, static_cast<int>(file.poses.size())));
  if (file.poses.size() != static_cast<std::size_t>(file.partCount))
    throw lines.error(kPartCountLine, "零件数 " + std::to_string(file.partCount) + ", 文件中却有 " +
                                          std::to_string(file.poses.size()) + " 个零件行");
  return file;
}

PoseFile readPoseFile(const std::string& path) {
  std::ifstream in = openInputFile(path, std::ios::binary);
  return readPoseFile(in, path);
}

}  // namespace tessera
