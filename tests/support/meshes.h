#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_folder.h"

// Meshes as users bring them, and the importer run as a user starts it.
namespace tessera::test {

/// An L-shaped bracket, 40 x 30 x 20, whose two caps are concave hexagons: a fan from their
/// first corner would reach outside the L. Surface area 4000, volume 12000.
inline constexpr const char* kBracketObj =
    "v 0 0 0\nv 40 0 0\nv 40 10 0\nv 10 10 0\nv 10 30 0\nv 0 30 0\n"
    "v 0 0 20\nv 40 0 20\nv 40 10 20\nv 10 10 20\nv 10 30 20\nv 0 30 20\n"
    "f 6 5 4 3 2 1\nf 7 8 9 10 11 12\n"
    "f 1 2 8 7\nf 2 3 9 8\nf 3 4 10 9\nf 4 5 11 10\nf 5 6 12 11\nf 6 1 7 12\n";

/// A cube of edge 2 with its corner at the origin, faces as quadrilaterals.
inline constexpr const char* kCubeObj =
    "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nv 0 0 2\nv 2 0 2\nv 2 2 2\nv 0 2 2\n"
    "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 4 8 7 3\nf 1 5 8 4\nf 2 3 7 6\n";

/// tessera-import run in folder with these arguments.
RunResult runImport(const std::filesystem::path& folder, const std::vector<std::string>& arguments);

}  // namespace tessera::test
