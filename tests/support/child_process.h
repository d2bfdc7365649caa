#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/project.h"
#include "support/run_folder.h"

// The program as a separate process that a test can limit, watch and kill.
namespace tessera::test {

struct ChildOptions {
  std::string input;             // standard input
  long long fileSizeLimit = -1;  // bytes a regular file may grow to (RLIMIT_FSIZE); -1: none
  /// With a file size limit, SIGXFSZ is set ignored in the child unless this is false: then the
  /// program meets the limit as a user's shell starts it.
  bool ignoreFileSizeSignal = true;
  std::string executable;  // empty: tessera; else a name built beside it (tessera-import)
  /// The child loses the capabilities that let root write past permission bits, so that a
  /// read-only folder is read-only for it too.
  bool obeyPermissions = false;
};

/// Options under which the child meets permission bits as any user does.
ChildOptions obeyingPermissions();

/// The tessera executable running in folder; killed and reaped when the object goes.
class Child {
 public:
  Child(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
        const ChildOptions& options = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  /// Standard output so far.
  std::string output() const;
  void kill(int signal);
  /// Whether the program has not ended yet.
  bool running();
  /// Waits for the end. status is the exit status, or 128 + the signal that ended it.
  RunResult wait();

 private:
  void finish(int rawStatus);

  ScratchFolder streams_;  // standard streams live apart: the folder may be read-only
  pid_t pid_ = -1;
  RunResult result_;
};

/// Runs the executable to its end.
RunResult runChild(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                   const ChildOptions& options = {});

}  // namespace tessera::test
