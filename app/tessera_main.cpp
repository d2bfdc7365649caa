#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "app/run.h"
#include "model/input_error.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "search/chain_transport.h"

int main(int argc, char** argv) {
  // Started by an MPI launcher with several processes: they share the chains of the search.
  const std::unique_ptr<tessera::ChainTransport> transport =
      tessera::startChainTransport(argc, argv);
  tessera::platform::TerminalConsole console;
  tessera::platform::SteadyClock clock;
  tessera::platform::installInterruptHandler();
  tessera::platform::ignoreFileSizeSignal();
  try {
    // Paths on the command line refer to this folder, whatever folder the run moves into.
    std::error_code error;
    const std::filesystem::path startFolder = std::filesystem::current_path(error);
    const tessera::Arguments arguments =
        tessera::parseArguments(std::vector<std::string>(argv + 1, argv + argc), startFolder);
    return tessera::runTessera(arguments, console, clock, transport.get());
  } catch (const tessera::InputError& error) {
    // Only rank 0 talks; the others' failures are its failures too.
    if (transport && transport->rank() != 0) return 1;
    return tessera::reportFailure(console, error);
  } catch (const std::bad_alloc&) {
    console.writeError("内存不足: 项目对这台机器太大。\n");
    return 1;
  }
}
