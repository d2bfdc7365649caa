#include "formats/run_files.h"

namespace tessera {

const RunFile& runFile(RunFileRole role) {
  for (const RunFile& file : kRunFiles)
    if (file.role == role) return file;
  return kRunFiles[0];  // every role has its line above
}

bool isRunFileName(const std::string& name) {
  for (const RunFile& file : kRunFiles)
    if (name == file.name) return true;
  return false;
}

}  // namespace tessera
