#pragma once

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>
#include <utility>

#include "model/input_error.h"

namespace tessera {

/// The text for bad input at a line: 文件"<path>"第<line>行: <detail>.
std::string lineMessage(const std::string& path, int line, const std::string& detail);
/// The error of lineMessage.
InputError lineError(const std::string& path, int line, const std::string& detail);

/// The error text for a file that cannot be opened: 文件"<path>"读取失败!
InputError unreadableFile(const std::string& path);

/// Opens an input file, or throws unreadableFile. Anything but a regular file (a folder, a
/// pipe, a device) is refused too: reading it fails midway or waits forever.
std::ifstream openInputFile(const std::string& path, std::ios::openmode mode = std::ios::in);

/// Reads the lines of an input file. A line ends at LF or CR LF (both read the same); the
/// last line may lack its line end; a UTF-8 byte order mark in front of the first line is
/// dropped. A line holds at most kMaxLineLength characters before
/// its line end; a longer line is a format error, never split into two lines.
class TextLines {
 public:
  static constexpr std::size_t kMaxLineLength = 298;

  TextLines(std::istream& in, std::string path) : in_(in), path_(std::move(path)) {}

  /// The next line without its line end; false at the end of the file. A read error is
  /// reported as a file that cannot be read.
  bool next(std::string& line);
  /// The next line; the end of the file is an error, reported as missing `expected`.
  std::string require(const std::string& expected);

  /// 1-based number of the last line read; 0 before the first.
  int lineNumber() const { return lineNumber_; }
  const std::string& path() const { return path_; }
  /// Error at the last line read.
  InputError error(const std::string& detail) const {
    return lineError(path_, lineNumber_, detail);
  }

  /// A warning at the last line read: 警告: and the text of error(detail).
  std::string warning(const std::string& detail) const {
    return "警告: " + lineMessage(path_, lineNumber_, detail);
  }

  /// Notes that the last line read, line, holds a number beyond those its form reads.
  void noteIgnoredNumber(const std::string& line);
  /// One warning for the whole file naming the first line with an ignored number and how many
  /// lines have one, or an empty string when none has.
  std::string ignoredNumbersWarning() const;

 private:
  bool nextOrThrow(std::string& line);

  std::istream& in_;
  std::string path_;
  int lineNumber_ = 0;
  int ignoredNumberLines_ = 0;
  int firstIgnoredNumberLine_ = 0;
  std::string firstIgnoredNumberText_;
};

/// Reads the numbers of one line as the standard conversions read them: blanks skipped in
/// front of a number, then the longest number of the standard form there (a base-10 integer:
/// sign and digits; a decimal: sign, digits with a point, exponent); a separator is one
/// character after a number, skipped unexamined; whatever follows the line's last number is
/// ignored, as a unit or a comment after it is meant to be. Refused with lines.error (the
/// line's form, then the text found) is only a reading that would be plainly wrong: no number
/// where one is needed, a hexadecimal number, a whole number written with a fraction or an
/// exponent that changes it (2.5 or 5e3 copies), and, on a line of one number, a decimal comma.
/// A further number after the last one read is not refused but noted in lines, for a warning.
class NumberCursor {
 public:
  /// form says what the line should hold, for the message ("顶点行应为 序号,x,y,z").
  NumberCursor(TextLines& lines, const std::string& line, std::string form, std::size_t from = 0)
      : lines_(lines),
        line_(line),
        form_(std::move(form)),
        pos_(from < line.size() ? from : line.size()) {}

  double decimal();
  /// What the standard conversion gives where a value is never used: the number, or 0 with
  /// nothing read where none starts.
  double decimalOrZero();
  /// A whole number followed by a separator and more numbers: 1.0 or 1e2 there would take the
  /// separator into the number, so any fraction or exponent is refused.
  long integer();
  /// The line's last whole number: a fraction or exponent that leaves the value as it is (3.0)
  /// is read with it, one that changes it (2.5, 5e3) is refused.
  long lastInteger();
  /// Skips up to count characters without examining them.
  void skip(std::size_t count = 1);
  bool atEnd() const { return pos_ >= line_.size(); }
  /// After the line's last number: the rest is ignored; a further number in it is noted.
  void finish();
  /// finish() for a line of one number, where a comma and digits after it ("1,5") are a
  /// decimal comma or a thousands separator and the number read would not be the one meant.
  void finishSingle();
  /// The refusal of this line.
  InputError refusal() const;

 private:
  TextLines& lines_;
  const std::string& line_;
  std::string form_;
  std::size_t pos_;
};

}  // namespace tessera
