#include "formats/same_file.h"

#include <filesystem>
#include <system_error>

namespace tessera {

bool sameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error) && !error;
  const auto plain = [](const fs::path& p) {
    std::error_code ignored;
    return fs::absolute(p, ignored).lexically_normal();
  };
  if (plain(a) == plain(b)) return true;
  const fs::path ca = fs::weakly_canonical(a, error);
  if (error) return false;
  const fs::path cb = fs::weakly_canonical(b, error);
  return !error && ca == cb;
}

}  // namespace tessera
