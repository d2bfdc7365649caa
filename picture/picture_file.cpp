#include "picture/picture_file.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "formats/atomic_file.h"
#include "formats/part_name.h"
#include "picture/layout_picture.h"

namespace tessera {

void writeLayoutPicture(const std::string& path, const LayoutScene& scene) {
  const std::vector<std::uint8_t> bytes = renderLayoutPng(scene);
  // Replaced all at once, like the drawing: a failed write keeps the picture already there.
  if (!whyNotReplaceable(path).empty())
    throw std::runtime_error("\"" + messageText(path) + "\" 无法创建");
  AtomicFile file(path);
  file.stream().write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
  if (!file.commit()) {
    throw std::runtime_error("\"" + messageText(path) + "\" 无法写入 (" + file.failure() + ")");
  }
}

}  // namespace tessera
