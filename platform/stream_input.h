#pragma once

// Internal to the platform layer: the input rules shared by every Console implementation.

#include <istream>
#include <string>

namespace tessera::platform {

bool extractInt(std::istream& in, int& value);
bool extractToken(std::istream& in, std::string& token);
bool extractLine(std::istream& in, std::string& text);

}  // namespace tessera::platform
