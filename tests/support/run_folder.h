#pragma once

#include <filesystem>
#include <string>

// Running the program as a user does, in a folder of its own.
namespace tessera::test {

/// Copies every file of a folder under tests/data into folder.
void copyData(const std::string& dataFolder, const std::filesystem::path& folder);

/// Rewrites project.txt of the tiny project (tests/data/search/tiny, copied into folder) with
/// `copies` copies of each of its three solids: more copies give a search more type
/// sequences before it runs out of new neighbours.
void setTinyCopies(const std::filesystem::path& folder, int copies);

/// Result of running the program.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs the tessera executable in folder with the given arguments (shell-quoted by the
/// caller) and standard input from the given text.
RunResult runTessera(const std::filesystem::path& folder, const std::string& arguments,
                     const std::string& input = "");

/// Runs tessera-import, built beside tessera, in folder the same way.
RunResult runImporter(const std::filesystem::path& folder, const std::string& arguments,
                      const std::string& input = "");

/// Changes the working directory for the lifetime of the object.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& folder);
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace tessera::test
