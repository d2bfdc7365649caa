#include "formats/sequence_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ios>
#include <iterator>
#include <string_view>
#include <type_traits>
#include <utility>

#include "formats/atomic_file.h"
#include "formats/number_format.h"
#include "formats/run_files.h"
#include "geometry/assert.h"
#include "model/input_error.h"

namespace tessera {
namespace {

constexpr std::string_view kIdMarker = "Optimal IDSequenceForPack";
constexpr std::string_view kTypeMarker = "TypeSequenceForPack";
constexpr std::string_view kEndMarker = "#FileEnd";
constexpr std::string_view kEfficiencyLabel = "Packing Efficiency=";
constexpr std::size_t kLineBuffer = 100;  // characters, terminator included

void writeBlock(std::ostream& out, std::string_view marker, const PackingSequence& sequence,
                int n) {
  TESSERA_ASSERT(sequence.count() >= n);
  out << marker << '\n' << kEfficiencyLabel << formatNumber(sequence.efficiency) << '\n';
  for (int i = 0; i < n; ++i)
    out << sequence.items[static_cast<std::size_t>(i)] << (i + 1 < n ? "," : "\n");
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/// The input with a read position and the number of the line it is on.
class Reader {
 public:
  explicit Reader(std::string text) : text_(std::move(text)) {}

  bool atEnd() const { return pos_ >= text_.size(); }
  int line() const { return line_; }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }

  /// What fgets with the line buffer returns: up to and including the next newline, at most
  /// kLineBuffer - 1 characters.
  std::string_view readLine() {
    const std::size_t begin = pos_;
    while (!atEnd() && pos_ - begin < kLineBuffer - 1) {
      if (text_[pos_++] == '\n') {
        ++line_;
        break;
      }
    }
    return std::string_view(text_).substr(begin, pos_ - begin);
  }

  /// A white-space directive of scanf: skips any amount, none included.
  void skipSpace() {
    while (!atEnd() && isSpace(text_[pos_])) advance();
  }

  /// A literal of scanf: white space in it skips white space, other characters must match.
  bool literal(std::string_view expected) {
    for (char c : expected) {
      if (isSpace(c)) {
        skipSpace();
      } else {
        if (peek() != c || atEnd()) return false;
        advance();
      }
    }
    return true;
  }

  /// Whether the comma at the read position is followed, after blanks, by a number.
  bool itemAfterComma() const {
    std::size_t at = pos_ + 1;
    while (at < text_.size() && (text_[at] == ' ' || text_[at] == '\t')) ++at;
    if (at < text_.size() && (text_[at] == '+' || text_[at] == '-')) ++at;
    return at < text_.size() && text_[at] >= '0' && text_[at] <= '9';
  }

  /// %lf and %d: leading white space skipped, an optional sign, the longest number.
  template <typename Number>
  bool number(Number& value) {
    skipSpace();
    std::size_t at = pos_;
    const bool plus = at < text_.size() && text_[at] == '+';
    if (plus) ++at;
    if (plus && at < text_.size() && text_[at] == '-') return false;
    const char* first = text_.data() + at;
    const char* last = text_.data() + text_.size();
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<Number>)
      result = std::from_chars(first, last, value, std::chars_format::general);
    else
      result = std::from_chars(first, last, value, 10);
    if (result.ec != std::errc()) return false;
    pos_ = static_cast<std::size_t>(result.ptr - text_.data());
    return true;
  }

 private:
  void advance() {
    if (text_[pos_++] == '\n') ++line_;
  }

  std::string text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

bool isMarker(std::string_view line, std::string_view marker, bool atEnd) {
  if (line.substr(0, marker.size()) != marker) return false;
  const std::string_view rest = line.substr(marker.size());
  return rest == "\n" || rest == "\r\n" || (rest.empty() && atEnd);
}

/// Scans "Packing Efficiency=%lf\n" and "%d," ... "%d\n" into sequence. Returns the problem,
/// or an empty string when the block scanned.
std::string lineLabel(int line) { return "第" + std::to_string(line) + "行: "; }

/// The messages are put together only on failure: a long archive has millions of items.
std::string scanBlock(Reader& in, int n, PackingSequence& sequence) {
  const int blockLine = in.line();
  if (!in.literal(kEfficiencyLabel) || !in.number(sequence.efficiency))
    return lineLabel(blockLine) + "\"Packing Efficiency=\" 后面没有数";
  in.skipSpace();
  sequence.items.clear();
  sequence.items.reserve(static_cast<std::size_t>(std::max(n, 0)));
  const auto fewer = [n](int line) {
    return lineLabel(line) + "项数少于项目的 " + std::to_string(n) + " 个零件";
  };
  for (int i = 0; i < n; ++i) {
    const int itemLine = in.line();
    std::int32_t item = 0;
    if (!in.number(item)) {
      // "3,0,1," with a line end after the comma: the items ended early.
      if (i > 0 && in.line() > itemLine) return fewer(itemLine) + " (行末多一个逗号)";
      return lineLabel(itemLine) + "有一项不是整数";
    }
    sequence.items.push_back(item);
    if (i + 1 < n && !in.literal(",")) {
      const char next = in.peek();
      if (in.atEnd() || next == '\n' || next == '\r') return fewer(itemLine);
      return lineLabel(itemLine) + "各项之间不是单个逗号";
    }
  }
  // A comma after the last item closes the line; one followed by another item means more
  // items than the project has parts. Text after the items is skipped with their line.
  if (n > 0 && in.peek() == ',' && in.itemAfterComma())
    return lineLabel(in.line()) + "项数多于项目的 " + std::to_string(n) + " 个零件";
  in.skipSpace();
  return {};
}

std::optional<std::string> checkTypeSequence(const Project& project,
                                             const std::vector<std::int32_t>& types,
                                             const PackingSequence& entry, int ordinal) {
  const auto which = [&] {  // only on failure: a long archive has millions of entries
    return "第" + std::to_string(ordinal) + "个类型序列 (效率 " + formatNumber(entry.efficiency) +
           "): ";
  };
  if (entry.count() != project.sequenceLength)
    return which() + "有 " + std::to_string(entry.count()) + " 项, 而项目有 " +
           std::to_string(project.sequenceLength) + " 个零件";
  if (!std::isfinite(entry.efficiency)) return which() + "效率不是有限数";
  const int typeCount = static_cast<int>(project.partTypes.size());
  for (std::int32_t item : entry.items)
    if (item < 0 || item >= typeCount)
      return which() + "类型序号 " + std::to_string(item) + " 超出项目的 " +
             std::to_string(typeCount) + " 个零件类型";
  std::vector<std::int32_t> sorted = entry.items;
  std::sort(sorted.begin(), sorted.end());
  if (sorted != types) return which() + "零件类型与项目的零件不符";
  return std::nullopt;
}

}  // namespace

void writeSequenceFile(std::ostream& out, const Project& project,
                       const TypeSequenceArchive& archive, const PackingSequence& best) {
  const int n = project.sequenceLength;
  writeBlock(out, kIdMarker, best, n);
  for (const PackingSequence& entry : archive) writeBlock(out, kTypeMarker, entry, n);
  out << kEndMarker << '\n';
}

void writeSequenceFile(const Project& project, const TypeSequenceArchive& archive,
                       const std::string& fileName, const PackingSequence& best) {
  AtomicFile file(fileName);
  writeSequenceFile(file.stream(), project, archive, best);
  if (!file.commit())
    throw InputError(runFile(RunFileRole::sequence).failure, InputError::Channel::StandardError);
}

SequenceFileContents readSequenceFile(const Project& project, std::istream& in) {
  SequenceFileContents contents;
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(in), {});
  } catch (const std::ios_base::failure&) {  // the file buffer throws on a read error
    contents.problems.push_back("the file cannot be read");
    contents.readFailed = true;
    return contents;
  }
  Reader reader(std::move(text));
  const int n = project.sequenceLength;
  while (!reader.atEnd()) {
    const int lineNumber = reader.line();
    const std::string_view line = reader.readLine();
    const bool last = reader.atEnd();
    if (line.size() == kLineBuffer - 1 && line.back() != '\n' && !last)
      contents.problems.push_back("第" + std::to_string(lineNumber) + "行: 超过 " +
                                  std::to_string(kLineBuffer - 2) + " 个字符");
    if (isMarker(line, kEndMarker, last)) {
      contents.hasFileEnd = true;
      break;
    }
    const bool idBlock = isMarker(line, kIdMarker, last);
    if (!idBlock && !isMarker(line, kTypeMarker, last)) continue;
    PackingSequence sequence;
    const std::string problem = scanBlock(reader, n, sequence);
    if (!problem.empty()) {
      contents.problems.push_back(problem);
      if (idBlock) contents.hasIdSequence = true;
    } else if (idBlock) {
      contents.idSequence = std::move(sequence);
      contents.hasIdSequence = true;
    } else {
      contents.archive.insertSorted(sequence);
    }
  }
  return contents;
}

std::optional<std::string> checkSequenceFile(const Project& project,
                                             const SequenceFileContents& contents) {
  if (!contents.problems.empty()) return contents.problems.front();
  if (!contents.hasFileEnd) return std::string("缺少 \"#FileEnd\" 行");
  if (!contents.hasIdSequence) return std::string("缺少 \"Optimal IDSequenceForPack\" 段");

  const int n = project.sequenceLength;
  const PackingSequence& ids = contents.idSequence;
  if (ids.count() != n)
    return "ID序列: 有 " + std::to_string(ids.count()) + " 项, 而项目有 " + std::to_string(n) +
           " 个零件";
  if (!std::isfinite(ids.efficiency)) return std::string("ID序列: 效率不是有限数");
  std::vector<bool> seen(static_cast<std::size_t>(n), false);
  for (std::int32_t id : ids.items) {
    if (id < 0 || id >= n || seen[static_cast<std::size_t>(id)])
      return "ID序列: 不是零件编号 0.." + std::to_string(n - 1) + " 的一个排列";
    seen[static_cast<std::size_t>(id)] = true;
  }

  const std::vector<std::int32_t> types = sortedPartTypes(project);
  int ordinal = 0;
  for (const PackingSequence& entry : contents.archive)
    if (auto reason = checkTypeSequence(project, types, entry, ++ordinal)) return reason;
  return std::nullopt;
}

}  // namespace tessera
