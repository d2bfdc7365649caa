#pragma once

#include <string>

#include "platform/encoding.h"

namespace tessera {

/// A part or type name as read from its polyhedron file, as UTF-8 for files other programs
/// read (mesh exports, the layout page). Files written on Chinese systems hold GBK names; a name
/// that is well-formed UTF-8 stays as it is.
inline std::string partNameAsUtf8(const std::string& name) {
  return platform::utf8OrGbkToUtf8(name);
}

/// For writers that check names character by character (XML attributes in mesh exports).
using platform::utf8SequenceLength;

/// For a file name in a message, shown in the console's encoding whatever its own.
using platform::messageText;

}  // namespace tessera
