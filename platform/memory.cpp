#include "platform/memory.h"

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace tessera::platform {

namespace {

// "Key:   123 kB" from a /proc file, in bytes.
std::optional<std::int64_t> kilobytesField(const char* file, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::istringstream fields(line.substr(key.size()));
    long long kilobytes = 0;
    if (fields >> kilobytes && kilobytes >= 0) return kilobytes * 1024;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::int64_t> numberIn(const char* file) {
  std::ifstream in(file);
  long long value = 0;
  if (in >> value && value >= 0) return value;  // "max" reads as no number: no limit
  return std::nullopt;
}

// Room under a resource limit, given what the process already uses of it.
std::optional<std::int64_t> roomUnder(int resource, std::optional<std::int64_t> used) {
  struct rlimit limit {};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  const auto cap =
      static_cast<std::int64_t>(std::min<rlim_t>(limit.rlim_cur, static_cast<rlim_t>(INT64_MAX)));
  return std::max<std::int64_t>(cap - used.value_or(0), 0);
}

}  // namespace

std::optional<std::int64_t> availableMemoryBytes() {
  std::optional<std::int64_t> least;
  auto consider = [&](std::optional<std::int64_t> bytes) {
    if (bytes && (!least || *bytes < *least)) least = bytes;
  };
  consider(kilobytesField("/proc/meminfo", "MemAvailable:"));
  consider(roomUnder(RLIMIT_AS, kilobytesField("/proc/self/status", "VmSize:")));
  consider(roomUnder(RLIMIT_DATA, kilobytesField("/proc/self/status", "VmData:")));
  if (const auto cgroupMax = numberIn("/sys/fs/cgroup/memory.max")) {
    const auto current = numberIn("/sys/fs/cgroup/memory.current");
    consider(std::max<std::int64_t>(*cgroupMax - current.value_or(0), 0));
  }
  return least;
}

}  // namespace tessera::platform
