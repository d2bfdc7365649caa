// tessera-import reads only regular files: a FIFO would block it, a device would never end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "mesh/mesh_reader.h"
#include "mesh/mesh_reader_3mf.h"
#include "support/project.h"

namespace tessera {
namespace {

// Reads the mesh in a child that the alarm ends should the read block; the child prints the
// refusal and exits with 0 when the file is refused.
void expectRefused(
    const std::string& path,
    void (*read)(const std::string&) = [](const std::string& p) { readMesh(p); }) {
  EXPECT_EXIT(
      {
        alarm(5);
        try {
          read(path);
        } catch (const ImportError& error) {
          std::fputs(error.what(), stderr);
          std::_Exit(0);
        }
        std::_Exit(2);
      },
      ::testing::ExitedWithCode(0), "is not a regular file, not a mesh file");
}

TEST(MeshReaderSpecialFiles, AFifoNamedLikeAMeshIsRefusedByName) {
  test::ScratchFolder scratch;
  const std::string fifo = scratch.path("x.stl");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  expectRefused(fifo);
  const std::string plate = scratch.path("plate.3mf");
  ASSERT_EQ(mkfifo(plate.c_str(), 0600), 0);
  expectRefused(plate);
  expectRefused(plate, [](const std::string& p) { read3mf(p); });
}

TEST(MeshReaderSpecialFiles, ALinkToADeviceIsRefusedByName) {
  test::ScratchFolder scratch;
  const std::string link = scratch.path("zero.obj");
  std::filesystem::create_symlink("/dev/zero", link);
  expectRefused(link);
}

}  // namespace
}  // namespace tessera
