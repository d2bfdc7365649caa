#pragma once

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>
#include <utility>

#include "model/input_error.h"

namespace tessera {

/// The error text for bad input at a line: 文件"<path>"第<line>行: <detail>.
InputError lineError(const std::string& path, int line, const std::string& detail);

/// The error text for a file that cannot be opened: 文件"<path>"读取失败!
InputError unreadableFile(const std::string& path);

/// Opens an input file, or throws unreadableFile. Anything but a regular file (a folder, a
/// pipe, a device) is refused too: reading it fails midway or waits forever.
std::ifstream openInputFile(const std::string& path,
                            std::ios::openmode mode = std::ios::in);

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
  InputError error(const std::string& detail) const { return lineError(path_, lineNumber_, detail); }

 private:
  bool nextOrThrow(std::string& line);

  std::istream& in_;
  std::string path_;
  int lineNumber_ = 0;
};

/// Reads the numbers of one line. Each is a whole number of its kind (a base-10 integer, or
/// a decimal: sign, digits, point, exponent), blanks allowed in front of it; a separator is
/// one character after a number, skipped unexamined. Where a number should start and none
/// does, or where anything but blanks follows the line's last number, the line is refused
/// with lines.error: the line's form, then the text found.
class NumberCursor {
 public:
  /// form says what the line should hold, for the message ("顶点行应为 序号,x,y,z").
  NumberCursor(const TextLines& lines, const std::string& line, std::string form,
               std::size_t from = 0)
      : lines_(lines), line_(line), form_(std::move(form)),
        pos_(from < line.size() ? from : line.size()) {}

  double decimal();
  long integer();
  /// Skips up to count characters without examining them.
  void skip(std::size_t count = 1);
  bool atEnd() const { return pos_ >= line_.size(); }
  /// Refuses the line unless only blanks remain.
  void finish() const;
  /// The refusal of this line.
  InputError refusal() const;

 private:
  const TextLines& lines_;
  const std::string& line_;
  std::string form_;
  std::size_t pos_;
};

}  // namespace tessera
