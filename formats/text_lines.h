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
/// last line may lack its line end. A line holds at most kMaxLineLength characters before
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

/// Converts numbers from one line as strtod/strtol (base 10) do: leading blanks skipped,
/// conversion stops at the first character that cannot continue the number, text that does
/// not start a number gives 0 and leaves the cursor where it was. The cursor never passes
/// the end of the line.
class NumberCursor {
 public:
  explicit NumberCursor(const std::string& line, std::size_t from = 0)
      : line_(line), pos_(from < line.size() ? from : line.size()) {}

  double decimal();
  long integer();
  /// Skips up to count characters without examining them.
  void skip(std::size_t count = 1);
  bool atEnd() const { return pos_ >= line_.size(); }

 private:
  const std::string& line_;
  std::size_t pos_;
};

}  // namespace tessera
