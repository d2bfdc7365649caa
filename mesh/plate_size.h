#pragma once

#include <cstdint>
#include <string>

namespace tessera {

/// What the build of a 3MF file expands to when every component repeats its object's mesh,
/// counted from the model parts' XML as it is unpacked, without building anything: a few
/// kilobytes of nested components can stand for billions of triangles, which a 3MF reader
/// would walk or build before anyone could refuse them. Counts stop at the largest value
/// rather than overflow; a component cycle counts nothing (the reader refuses it).
struct PlateSize {
  std::uint64_t vertices = 0;
  std::uint64_t triangles = 0;
  bool counted = false;  // false: no package or model part could be read
};

PlateSize plateSizeOf(const std::string& path);

/// Bytes a mesh of this many vertices and triangles takes while it is imported, its working
/// copies counted (measured: 164 bytes a triangle for a plate imported whole).
std::uint64_t importBytes(std::uint64_t vertices, std::uint64_t triangles);

}  // namespace tessera
