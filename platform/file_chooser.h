#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/console.h"

namespace tessera::platform {

struct FileFilter {
  std::string description;
  std::string pattern;
};

/// What the open-file prompt shows; the defaults are those of the project file prompt.
struct FileDialog {
  std::string title = "Select a text file storing 3VIzuduva information.";
  std::vector<FileFilter> filters = {{"文本文件(*.txt)", "*.txt"}, {"所有文件(*.*)", "*.*"}};
  /// Tried when the typed name has no extension and does not exist as typed.
  std::string defaultExtension = "txt";
};

/// Asks on the console for an existing file, re-asking until one exists. The answer is a whole
/// line; surrounding blanks and one pair of double quotation marks are dropped. An empty answer
/// or end of input gives up: nullopt, working directory unchanged. On success the working
/// directory becomes the file's folder and the file's absolute path is returned.
std::optional<std::string> chooseFile(Console& console, const FileDialog& dialog = {});

/// For a project named on the command line: resolves the path against the current working
/// directory, makes the file's folder the working directory and returns the absolute path.
/// When that folder cannot be entered the working directory stays; an empty path stays empty.
std::string enterProjectFolder(const std::string& pathAsGiven);

}  // namespace tessera::platform
