#include "support/run_folder.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "support/project.h"
#include "support/solids.h"

namespace tessera::test {

namespace fs = std::filesystem;

void copyData(const std::string& dataFolder, const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(dataPath(dataFolder)))
    if (entry.is_regular_file()) fs::copy_file(entry.path(), folder / entry.path().filename());
}

void setTinyCopies(const fs::path& folder, int copies) {
  std::string project = "PBSL=2\nRN=1\nContainer\n\"container.txt\"\n";
  for (const char* solid : {"small_cube", "small_l", "small_wedge"})
    project +=
        "Part\n\"" + std::string(solid) + ".txt\"\nCopies\n" + std::to_string(copies) + "\n----\n";
  writeBytes((folder / "project.txt").string(), project + "#EndFile\n");
}

namespace {

RunResult runProgram(const fs::path& program, const fs::path& folder, const std::string& arguments,
                     const std::string& input) {
  const fs::path in = folder / ".stdin";
  const fs::path out = folder / ".stdout";
  const fs::path err = folder / ".stderr";
  writeBytes(in.string(), input);
  const std::string command = "cd '" + folder.string() + "' && '" + program.string() + "' " +
                              arguments + " < '" + in.string() + "' > '" + out.string() + "' 2> '" +
                              err.string() + "'";
  const int raw = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = readBytes(out.string());
  result.err = readBytes(err.string());
  fs::remove(in);
  fs::remove(out);
  fs::remove(err);
  return result;
}

}  // namespace

RunResult runTessera(const fs::path& folder, const std::string& arguments,
                     const std::string& input) {
  return runProgram(TESSERA_EXE, folder, arguments, input);
}

RunResult runImporter(const fs::path& folder, const std::string& arguments,
                      const std::string& input) {
  return runProgram(fs::path(TESSERA_EXE).parent_path() / "tessera-import", folder, arguments,
                    input);
}

WorkingDirectory::WorkingDirectory(const fs::path& folder) : previous_(fs::current_path()) {
  fs::current_path(folder);
}

WorkingDirectory::~WorkingDirectory() {
  std::error_code ec;
  fs::current_path(previous_, ec);
}

}  // namespace tessera::test
