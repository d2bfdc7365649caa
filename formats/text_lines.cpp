#include "formats/text_lines.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ios>
#include <streambuf>

namespace tessera {

InputError lineError(const std::string& path, int line, const std::string& detail) {
  return InputError("文件\"" + path + "\"第" + std::to_string(line) + "行: " + detail);
}

InputError unreadableFile(const std::string& path) {
  return InputError("文件\"" + path + "\"读取失败!");
}

std::ifstream openInputFile(const std::string& path, std::ios::openmode mode) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) throw unreadableFile(path);
  std::ifstream in(path, mode);
  if (!in) throw unreadableFile(path);
  return in;
}

bool TextLines::next(std::string& line) {
  try {
    return nextOrThrow(line);
  } catch (const std::ios_base::failure&) {  // the file buffer throws on a read error
    throw unreadableFile(path_);
  }
}

bool TextLines::nextOrThrow(std::string& line) {
  line.clear();
  std::streambuf* buf = in_.rdbuf();
  if (buf == nullptr) return false;
  using Traits = std::streambuf::traits_type;
  bool any = false;
  for (auto c = buf->sbumpc(); !Traits::eq_int_type(c, Traits::eof()); c = buf->sbumpc()) {
    any = true;
    const char ch = Traits::to_char_type(c);
    if (ch == '\n') break;
    // One character beyond the limit may still be the CR of a CR LF line end; stop reading
    // at two so that a huge line is refused without being held in memory.
    if (line.size() > kMaxLineLength) {
      throw lineError(path_, lineNumber_ + 1,
                      "行过长 (最多 " + std::to_string(kMaxLineLength) + " 个字符)");
    }
    line.push_back(ch);
    // A byte order mark, as some editors write in front of UTF-8 text, is not the file's.
    if (lineNumber_ == 0 && line == "\xEF\xBB\xBF") line.clear();
  }
  if (!any) return false;
  ++lineNumber_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kMaxLineLength) {
    throw error("行过长 (最多 " + std::to_string(kMaxLineLength) + " 个字符)");
  }
  return true;
}

std::string TextLines::require(const std::string& expected) {
  std::string line;
  if (!next(line)) throw lineError(path_, lineNumber_ + 1, "文件提前结束, 缺少" + expected);
  return line;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

InputError NumberCursor::refusal() const {
  return lines_.error(form_ + ", 读到 \"" + line_ + "\"");
}

double NumberCursor::decimal() {
  const char* start = line_.c_str() + pos_;
  char* end = nullptr;
  const double value = std::strtod(start, &end);
  // strtod also takes hexadecimal numbers, which no file of ours holds.
  if (end == start || std::find_if(start, static_cast<const char*>(end), [](char c) {
                        return c == 'x' || c == 'X';
                      }) != end) {
    throw refusal();
  }
  pos_ += static_cast<std::size_t>(end - start);
  return value;
}

long NumberCursor::integer() {
  const char* start = line_.c_str() + pos_;
  char* end = nullptr;
  const long value = std::strtol(start, &end, 10);
  if (end == start) throw refusal();
  pos_ += static_cast<std::size_t>(end - start);
  return value;
}

void NumberCursor::skip(std::size_t count) {
  pos_ = count < line_.size() - pos_ ? pos_ + count : line_.size();
}

void NumberCursor::finish() const {
  if (!std::all_of(line_.begin() + static_cast<std::ptrdiff_t>(pos_), line_.end(), isBlank))
    throw refusal();
}

}  // namespace tessera
