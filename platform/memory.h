#pragma once

#include <cstdint>
#include <optional>

namespace tessera::platform {

/// Bytes this process may still allocate: the least of the memory the system reports as
/// available, the room left under the process's address-space and data limits and the room
/// left in its control group. Empty when none of these can be read.
std::optional<std::int64_t> availableMemoryBytes();

}  // namespace tessera::platform
