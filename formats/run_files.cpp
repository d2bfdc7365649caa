#include "formats/run_files.h"

namespace tessera {

const RunFile& runFile(RunFileRole role) {
  for (const RunFile& file : kRunFiles)
    if (file.role == role) return file;
  return kRunFiles[0];  // every role has its line above
}

std::string buildFileName(const std::string& name, int build) {
  const std::size_t slash = name.find_last_of('/');
  const std::size_t dot = name.find_last_of('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::size_t at = extension ? dot : name.size();
  return name.substr(0, at) + "_build" + std::to_string(build) + name.substr(at);
}

bool isRunFileName(const std::string& name) {
  for (const RunFile& file : kRunFiles)
    if (name == file.name) return true;
  return false;
}

}  // namespace tessera
