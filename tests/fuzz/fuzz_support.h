#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Shared by the fuzz targets: the input as text, and a broken contract as a crash that
// libFuzzer records with its input.
namespace tessera::fuzz {

inline std::string textOf(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

[[noreturn]] inline void broken(const char* contract) {
  std::fprintf(stderr, "contract broken: %s\n", contract);
  std::abort();
}

inline void require(bool holds, const char* contract) {
  if (!holds) broken(contract);
}

}  // namespace tessera::fuzz
