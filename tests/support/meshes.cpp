#include "support/meshes.h"

#include "support/child_process.h"

namespace tessera::test {

RunResult runImport(const std::filesystem::path& folder,
                    const std::vector<std::string>& arguments) {
  ChildOptions options;
  options.executable = "tessera-import";
  return runChild(folder, arguments, options);
}

}  // namespace tessera::test
