#pragma once

#include <string>

#include "picture/scene.h"

namespace tessera {

/// Writes the PNG picture to path, replacing any file there all at once: a failed write keeps the
/// picture already there. Throws std::runtime_error naming the path if the file cannot be written.
void writeLayoutPicture(const std::string& path, const LayoutScene& scene);

}  // namespace tessera
