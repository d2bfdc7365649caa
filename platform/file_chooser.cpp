#include "platform/file_chooser.h"

#include <filesystem>
#include <system_error>

namespace tessera::platform {
namespace {

namespace fs = std::filesystem;

std::string trimmedAnswer(const std::string& answer) {
  const auto first = answer.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = answer.find_last_not_of(" \t");
  std::string path = answer.substr(first, last - first + 1);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
    path = path.substr(1, path.size() - 2);
  }
  return path;
}

bool isExistingFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

/// The file the answer names, if it exists: as typed, or with the default extension added.
std::optional<fs::path> existingFile(const std::string& answer, const std::string& extension) {
  fs::path path(answer);
  if (isExistingFile(path)) return path;
  if (!extension.empty() && !path.has_extension()) {
    path += "." + extension;
    if (isExistingFile(path)) return path;
  }
  return std::nullopt;
}

fs::path absoluteNormal(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  return absolute.lexically_normal();
}

bool enterFolderOf(const fs::path& absoluteFile) {
  std::error_code error;
  fs::current_path(absoluteFile.parent_path(), error);
  return !error;
}

}  // namespace

std::optional<std::string> chooseFile(Console& console, const FileDialog& dialog) {
  console.line(dialog.title);
  for (const FileFilter& filter : dialog.filters) {
    console.line("  " + filter.description + "  " + filter.pattern);
  }
  while (true) {
    console.write("File name (empty to cancel): ");
    std::string answer;
    if (!console.readLine(answer)) return std::nullopt;
    const std::string typed = trimmedAnswer(answer);
    if (typed.empty()) return std::nullopt;

    const std::optional<fs::path> found = existingFile(typed, dialog.defaultExtension);
    if (!found) {
      console.line(typed + ": file not found. Check the file name and try again.");
      continue;
    }
    const fs::path absolute = absoluteNormal(*found);
    if (!enterFolderOf(absolute)) {
      console.line(typed + ": cannot enter the file's folder. Choose another file.");
      continue;
    }
    return absolute.string();
  }
}

std::string enterProjectFolder(const std::string& pathAsGiven) {
  if (pathAsGiven.empty()) return pathAsGiven;
  const fs::path absolute = absoluteNormal(pathAsGiven);
  enterFolderOf(absolute);
  return absolute.string();
}

}  // namespace tessera::platform
