#include "support/child_process.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tessera::test {

namespace {

[[noreturn]] void failInChild() { ::_exit(127); }

}  // namespace

ChildOptions obeyingPermissions() {
  ChildOptions options;
  options.obeyPermissions = true;
  return options;
}

Child::Child(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
             const ChildOptions& options) {
  writeBytes(streams_.path("in"), options.input);
  const std::string in = streams_.path("in");
  const std::string out = streams_.path("out");
  const std::string err = streams_.path("err");
  const std::string where = folder.string();
  std::vector<std::string> words{
      options.executable.empty()
          ? std::string(TESSERA_EXE)
          : (std::filesystem::path(TESSERA_EXE).parent_path() / options.executable).string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const bool dropCapabilities = options.obeyPermissions && ::geteuid() == 0;

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {  // only async-signal-safe calls from here on
    if (::chdir(where.c_str()) != 0) failInChild();
    const int fdIn = ::open(in.c_str(), O_RDONLY);
    const int fdOut = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int fdErr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fdIn < 0 || fdOut < 0 || fdErr < 0) failInChild();
    if (::dup2(fdIn, 0) < 0 || ::dup2(fdOut, 1) < 0 || ::dup2(fdErr, 2) < 0) failInChild();
    if (options.fileSizeLimit >= 0) {
      // Past the limit a write fails with EFBIG, as on a full disk, instead of raising SIGXFSZ.
      ::signal(SIGXFSZ, options.ignoreFileSizeSignal ? SIG_IGN : SIG_DFL);
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                         static_cast<rlim_t>(options.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) failInChild();
    }
    if (dropCapabilities) {
      for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) failInChild();
    }
    ::execv(argv[0], argv.data());
    failInChild();
  }
}

Child::~Child() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    wait();
  }
}

std::string Child::output() const { return readBytes(streams_.path("out")); }

void Child::kill(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

bool Child::running() {
  if (pid_ <= 0) return false;
  int raw = 0;
  if (::waitpid(pid_, &raw, WNOHANG) != pid_) return true;
  finish(raw);
  return false;
}

RunResult Child::wait() {
  if (pid_ > 0) {
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    finish(raw);
  }
  return result_;
}

void Child::finish(int raw) {
  {
    pid_ = -1;
    result_.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result_.out = readBytes(streams_.path("out"));
    result_.err = readBytes(streams_.path("err"));
  }
}

RunResult runChild(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                   const ChildOptions& options) {
  Child child(folder, arguments, options);
  return child.wait();
}

}  // namespace tessera::test
