#pragma once

#include <string>

namespace tessera {

/// Whether the two paths name one file: the same file on the disk when both exist (links
/// followed), else the same absolute path with links resolved as far as it exists.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace tessera
