// Names and paths in the program's messages reach the console in the console's encoding,
// whatever the encoding of the file or name they come from. Runs the whole program in a child
// process with the real console set for GBK or for UTF-8.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "app/run.h"
#include "model/input_error.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

const std::string kGbkPartFile = "\xC1\xE3\xBC\xFE.txt";  // 零件.txt as a Chinese system names it
const std::string kGbkName = "\xB3\xDD\xC2\xD6";          // 齿轮 in GBK

struct Output {
  int status = -1;
  std::string out;
  std::string err;
};

// tessera with these arguments, started in folder, on a console that converts for GBK or not;
// standard input is empty.
Output runOnConsole(bool gbkConsole, const std::string& folder,
                    const std::vector<std::string>& arguments) {
  test::ScratchFolder streams;
  const std::string out = streams.path("out");
  const std::string err = streams.path("err");
  std::cout.flush();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int none = ::open("/dev/null", O_RDONLY);
    if (none < 0 || ::dup2(none, 0) < 0 || ::chdir(folder.c_str()) != 0 ||
        !std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr))
      ::_exit(98);
    int status = 99;
    try {
      platform::TerminalConsole console(gbkConsole);
      platform::SteadyClock clock;
      try {
        status = runTessera(parseArguments(arguments, folder), console, clock);
      } catch (const InputError& error) {
        status = reportFailure(console, error);
      }
    } catch (...) {
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(status);
  }
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::readBytes(out), test::readBytes(err)};
}

std::string projectOf(const std::string& partFile, int copies) {
  return "PBSL=2\nRN=1\nContainer\n\"container.txt\"\nPart\n\"" + partFile + "\"\nCopies\n" +
         std::to_string(copies) + "\n----\n#EndFile\n";
}

TEST(ConsoleEncoding, AGbkPathInAMessageIsShownInTheConsolesEncoding) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("container.txt"), test::boxFileText("box", 10, 10, 12));
  test::writeBytes(folder.path("project.txt"), projectOf(kGbkPartFile, 1));  // the part is missing

  const Output gbk = runOnConsole(true, folder.path(""), {"project.txt", "--iterations", "1"});
  EXPECT_EQ(gbk.status, 1);
  // 文件"零件.txt"读取失败! in GBK: the path's own bytes, between the message's.
  EXPECT_EQ(gbk.err, "Warning!\n\xCE\xC4\xBC\xFE\"" + kGbkPartFile +
                         "\"\xB6\xC1\xC8\xA1\xCA\xA7\xB0\xDC!\n");

  const Output utf8 = runOnConsole(false, folder.path(""), {"project.txt", "--iterations", "1"});
  EXPECT_EQ(utf8.status, 1);
  EXPECT_EQ(utf8.err, "Warning!\n文件\"零件.txt\"读取失败!\n");
}

TEST(ConsoleEncoding, AGbkTypeNameInTheUnplacedPartsLineIsShownInTheConsolesEncoding) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("container.txt"), test::boxFileText("box", 10, 10, 12));
  // As wide and long as the container: no room for the grid's cell of slack, no place.
  test::writeBytes(folder.path("slab.txt"), test::boxFileText(kGbkName, 10, 10, 7));
  test::writeBytes(folder.path("project.txt"), projectOf("slab.txt", 2));
  const std::vector<std::string> arguments = {"project.txt", "--iterations", "0", "--no-picture"};

  const Output gbk = runOnConsole(true, folder.path(""), arguments);
  EXPECT_EQ(gbk.status, 0) << gbk.err;
  EXPECT_NE(gbk.out.find("(" + kGbkName + " 2 \xB8\xF6)"), std::string::npos) << gbk.out;

  const Output utf8 = runOnConsole(false, folder.path(""), arguments);
  EXPECT_EQ(utf8.status, 0) << utf8.err;
  EXPECT_NE(utf8.out.find("(齿轮 2 个)"), std::string::npos) << utf8.out;
}

}  // namespace
}  // namespace tessera
