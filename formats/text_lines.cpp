#include "formats/text_lines.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ios>
#include <streambuf>

#include "platform/encoding.h"

namespace tessera {

std::string lineMessage(const std::string& path, int line, const std::string& detail) {
  return "文件\"" + platform::messageText(path) + "\"第" + std::to_string(line) + "行: " + detail;
}

InputError lineError(const std::string& path, int line, const std::string& detail) {
  return InputError(lineMessage(path, line, detail));
}

InputError unreadableFile(const std::string& path) {
  return InputError("文件\"" + platform::messageText(path) + "\"读取失败!");
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

void TextLines::noteIgnoredNumber(const std::string& line) {
  if (ignoredNumberLines_++ == 0) {
    firstIgnoredNumberLine_ = lineNumber_;
    firstIgnoredNumberText_ = line;
  }
}

std::string TextLines::ignoredNumbersWarning() const {
  if (ignoredNumberLines_ == 0) return {};
  std::string text = "警告: " + lineMessage(path_, firstIgnoredNumberLine_,
                                            "\"" + platform::messageText(firstIgnoredNumberText_) +
                                                "\" 在读入的数之后还有数, 它被忽略了");
  if (ignoredNumberLines_ > 1) text += " (共 " + std::to_string(ignoredNumberLines_) + " 行如此)";
  return text + "; 请检查这个文件。";
}

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSign(char c) { return c == '+' || c == '-'; }
bool isAsciiAlphanumeric(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::size_t digitsFrom(const std::string& s, std::size_t at) {
  std::size_t i = at;
  while (i < s.size() && isDigit(s[i])) ++i;
  return i - at;
}

/// Length of the base-10 integer that starts at s[at] (sign, digits); 0 when none does.
std::size_t integerLength(const std::string& s, std::size_t at) {
  const std::size_t sign = at < s.size() && isSign(s[at]) ? 1 : 0;
  const std::size_t digits = digitsFrom(s, at + sign);
  return digits == 0 ? 0 : sign + digits;
}

/// Length of the decimal number that starts at s[at] (sign, digits with an optional point, an
/// exponent where digits follow its letter); 0 when none does.
std::size_t decimalLength(const std::string& s, std::size_t at) {
  std::size_t i = at < s.size() && isSign(s[at]) ? at + 1 : at;
  std::size_t digits = digitsFrom(s, i);
  i += digits;
  if (i < s.size() && s[i] == '.') {
    const std::size_t fraction = digitsFrom(s, i + 1);
    digits += fraction;
    i += 1 + fraction;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    const std::size_t sign = i + 1 < s.size() && isSign(s[i + 1]) ? 1 : 0;
    const std::size_t exponent = digitsFrom(s, i + 1 + sign);
    if (exponent > 0) i += 1 + sign + exponent;
  }
  return i - at;
}

double decimalValue(const std::string& s, std::size_t at, std::size_t length) {
  return std::strtod(s.substr(at, length).c_str(), nullptr);
}

long integerValue(const std::string& s, std::size_t at, std::size_t length) {
  return std::strtol(s.substr(at, length).c_str(), nullptr, 10);  // saturates when too large
}

/// Whether the text after a line's last number holds another number: after blanks, or after
/// one mark that is no letter or digit (",5", ";2,5", " 9"). A unit ("mm3"), a comment
/// ("// corner 3") or a closing mark (",", ";") does not count.
bool holdsFurtherNumber(const std::string& s, std::size_t at) {
  while (at < s.size() && isSpace(s[at])) ++at;
  if (decimalLength(s, at) > 0) return true;
  return at + 1 < s.size() && !isAsciiAlphanumeric(s[at]) && decimalLength(s, at + 1) > 0;
}

}  // namespace

InputError NumberCursor::refusal() const {
  return lines_.error(form_ + ", 读到 \"" + platform::messageText(line_) + "\"");
}

double NumberCursor::decimal() {
  while (pos_ < line_.size() && isSpace(line_[pos_])) ++pos_;
  const std::size_t length = decimalLength(line_, pos_);
  if (length == 0) throw refusal();
  // 0x1A is a number to some conversions and 0 followed by text to others: neither is safe.
  const std::size_t end = pos_ + length;
  const std::size_t digits = isSign(line_[pos_]) ? pos_ + 1 : pos_;
  if (end == digits + 1 && line_[digits] == '0' && end < line_.size() &&
      (line_[end] == 'x' || line_[end] == 'X'))
    throw refusal();
  const double value = decimalValue(line_, pos_, length);
  pos_ = end;
  return value;
}

double NumberCursor::decimalOrZero() {
  std::size_t at = pos_;
  while (at < line_.size() && isSpace(line_[at])) ++at;
  const std::size_t length = decimalLength(line_, at);
  if (length == 0) return 0.0;
  pos_ = at + length;
  return decimalValue(line_, at, length);
}

long NumberCursor::integer() {
  while (pos_ < line_.size() && isSpace(line_[pos_])) ++pos_;
  const std::size_t length = integerLength(line_, pos_);
  if (length == 0 || decimalLength(line_, pos_) != length) throw refusal();
  const long value = integerValue(line_, pos_, length);
  pos_ += length;
  return value;
}

long NumberCursor::lastInteger() {
  while (pos_ < line_.size() && isSpace(line_[pos_])) ++pos_;
  std::size_t length = integerLength(line_, pos_);
  if (length == 0) throw refusal();
  const long value = integerValue(line_, pos_, length);
  const std::size_t decimal = decimalLength(line_, pos_);
  if (decimal != length) {
    if (decimalValue(line_, pos_, decimal) != static_cast<double>(value)) throw refusal();
    length = decimal;
  }
  pos_ += length;
  return value;
}

void NumberCursor::skip(std::size_t count) {
  pos_ = count < line_.size() - pos_ ? pos_ + count : line_.size();
}

void NumberCursor::finish() {
  if (holdsFurtherNumber(line_, pos_)) lines_.noteIgnoredNumber(line_);
}

void NumberCursor::finishSingle() {
  if (pos_ + 1 < line_.size() && line_[pos_] == ',' && isDigit(line_[pos_ + 1]))
    throw lines_.error(form_ + "; 逗号不能作小数点或千位分隔符, 读到 \"" +
                       platform::messageText(line_) + "\"");
  finish();
}

}  // namespace tessera
