#pragma once

#include <string>
#include <string_view>

namespace tessera::platform {

/// UTF-8 text in the GBK code page; characters without a GBK form become '?'.
std::string utf8ToGbk(std::string_view utf8);

}  // namespace tessera::platform
