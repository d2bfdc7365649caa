#include "formats/file_group.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tessera {

namespace {

/// Keeps the file at path under backup, leaving path in place where a hard link can do it.
bool keepAside(const std::string& path, const std::string& backup, bool leaveInPlace) {
  ::unlink(backup.c_str());  // a leftover of an earlier process with the same id
  if (leaveInPlace && ::link(path.c_str(), backup.c_str()) == 0) return true;
  return std::rename(path.c_str(), backup.c_str()) == 0;
}

}  // namespace

FileGroup::~FileGroup() { restore(); }

std::ostream& FileGroup::replace(const std::string& path) {
  changes_.push_back({path, std::make_unique<AtomicFile>(path), {}, false});
  return changes_.back().file->stream();
}

void FileGroup::remove(const std::string& path) { changes_.push_back({path, nullptr, {}, false}); }

std::optional<FileGroup::Failure> FileGroup::stage() {
  for (Change& change : changes_)
    if (change.file && !change.file->stage()) return Failure{change.path, change.file->failure()};
  return std::nullopt;
}

std::optional<FileGroup::Failure> FileGroup::commit() {
  // What is certain to fail is found before anything changes.
  for (const Change& change : changes_) {
    struct stat info {};
    if (::lstat(change.path.c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))
      continue;
    return Failure{change.path,
                   S_ISDIR(info.st_mode) ? "a folder has this name" : "this name is not a file"};
  }
  for (Change& change : changes_) {
    struct stat info {};
    if (::lstat(change.path.c_str(), &info) == 0) {
      const std::string backup = change.path + ".old" + std::to_string(::getpid());
      if (!keepAside(change.path, backup, change.file != nullptr)) {
        const std::string why = std::strerror(errno);
        restore();
        return Failure{change.path, why};
      }
      change.backup = backup;
    }
    if (change.file && !change.file->commit()) {
      const std::string why = change.file->failure();
      restore();
      return Failure{change.path, why};
    }
    change.done = true;
  }
  for (Change& change : changes_) {
    if (!change.backup.empty()) ::unlink(change.backup.c_str());
    change.backup.clear();
    change.done = false;
  }
  return std::nullopt;
}

void FileGroup::restore() {
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    if (!change->backup.empty())
      std::rename(change->backup.c_str(), change->path.c_str());
    else if (change->done && change->file)
      ::unlink(change->path.c_str());
    change->backup.clear();
    change->done = false;
  }
}

}  // namespace tessera
