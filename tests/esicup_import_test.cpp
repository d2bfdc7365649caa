// Projects from ESICUP instances: one public instance imports to the project made from it by
// hand, rotations map to the smallest orientation set holding them, and what cannot be mapped
// is refused with nothing written.
#include "mesh/esicup_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "mesh/mesh_reader.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(TESSERA_TEST_DATA_DIR) + "/esicup";
const std::string kLiu = kData + "/Liu et al. 2015/Experiment1.json";

std::string errorOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const ImportError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(EsicupImport, PublicInstanceImportsToItsConvertedProject) {
  // The converted project was made by hand from the same meshes with a container 100 high;
  // every file must come out byte for byte, the project's RN 1 with a note that it turns parts
  // more than the translations the instance allows.
  test::ScratchFolder folder;
  ProjectSettings settings;
  settings.PBSL = 0.0;
  settings.RN = 0;
  settings.height = 100;
  std::ostringstream log;
  createEsicupProject(kLiu, "", folder.path("project.txt"), settings, log);
  for (const char* file : {"project.txt", "container.txt", "tetrahedron.txt", "star.txt",
                           "arrow.txt", "cube.txt", "ring.txt"})
    EXPECT_EQ(test::readBytes(folder.path(file)), test::readBytes(kData + "/liu2015-exp1/" + file))
        << file;
  EXPECT_NE(log.str().find("note: RN 1 turns parts 4 ways"), std::string::npos) << log.str();

  // Without a height: four times the 9.8 the parts' volume fills on the 20 x 20 base, plus
  // twice the longest part (12), rounded up to 70.
  settings.height = 0.0;
  test::ScratchFolder other;
  createEsicupProject(kLiu, "", other.path("project.txt"), settings, log);
  EXPECT_NE(test::readBytes(other.path("container.txt")).find("\n4,0,0,70\n"), std::string::npos);
}

TEST(EsicupImport, RotationsMapToTheSmallestOrientationSetHoldingThem) {
  const auto turn = [](const std::string& axis, double angle) {
    test::ScratchFolder folder;
    const std::string json = folder.path("i.json");
    test::writeBytes(folder.path("c.obj"), test::readBytes(kData + "/Liu et al. 2015/cube.obj"));
    test::writeBytes(json,
                     "{\"container\": {\"size-x\": 20, \"size-y\": 20}, \"item-types\": "
                     "[{\"path\": \"c.obj\", \"demand\": 1, \"allowed-rotations\": "
                     "[{\"axis\": " +
                         axis + ", \"angle\": " + std::to_string(angle) + "}]}]}");
    return smallestRNFor(readEsicup(json).items[0].rotations);
  };
  EXPECT_EQ(smallestRNFor({}), 1);
  EXPECT_EQ(turn("\"x\"", 180), 1);
  EXPECT_EQ(turn("\"z\"", 90), 2);
  EXPECT_EQ(turn("\"y\"", -90), 2);
  EXPECT_EQ(turn("[0, 0, 2]", 60), 3);
  EXPECT_EQ(turn("\"z\"", 45), 4);
  EXPECT_EQ(turn("\"z\"", 7), std::nullopt);
}

TEST(EsicupImport, WhatCannotBeMappedIsRefusedWithNothingWritten) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("c.obj"), test::readBytes(kData + "/Liu et al. 2015/cube.obj"));
  test::writeBytes(folder.path("open.obj"),
                   "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 2 3 4\n");
  const auto instance = [&](const std::string& items) {
    test::writeBytes(
        folder.path("i.json"),
        "{\"container\": {\"size-x\": 20, \"size-y\": 20}, \"item-types\": [" + items + "]}");
    ProjectSettings settings;
    settings.PBSL = settings.RN = 0;
    std::ostringstream log;
    return errorOf([&] {
      createEsicupProject(folder.path("i.json"), "", folder.path("out/p.txt"), settings, log);
    });
  };
  EXPECT_NE(instance("{\"path\": \"c.obj\", \"demand\": 1,}").find("not an instance in JSON"),
            std::string::npos);
  EXPECT_NE(instance("{\"path\": \"gone.obj\", \"demand\": 1}")
                .find("item type 1: the mesh \"gone.obj\" is found neither"),
            std::string::npos);
  EXPECT_NE(instance("{\"path\": \"c.obj\", \"demand\": 0}").find("\"demand\""), std::string::npos);
  EXPECT_NE(instance("{\"path\": \"c.obj\", \"demand\": 1, \"allowed-rotations\": [[0, 0, 90]]}")
                .find("a rotation must be"),
            std::string::npos);
  EXPECT_NE(instance("{\"path\": \"c.obj\", \"demand\": 1, \"allowed-rotations\": "
                     "[{\"axis\": \"w\", \"angle\": 90}]}")
                .find("a rotation must be"),
            std::string::npos);
  EXPECT_NE(instance("{\"path\": \"c.obj\", \"demand\": 1, \"allowed-rotations\": "
                     "[{\"axis\": \"z\", \"angle\": 7}]}")
                .find("in no orientation set"),
            std::string::npos);
  EXPECT_NE(instance("{\"path\": \"open.obj\", \"demand\": 1}").find("not a closed"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(folder.path("out")));

  // The command: exit status 1, the message, nothing written; a rule suffix likewise.
  const test::RunResult run = test::runImporter(folder.path(""), "--esicup i.json --project p.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("open.obj: the mesh is not a closed"), std::string::npos) << run.err;
  test::writeBytes(folder.path("i.json"),
                   "{\"container\": {\"size-x\": 20, \"size-y\": 20}, \"item-types\": [{\"path\": "
                   "\"c.obj\", \"demand\": 1, \"allowed-rotations\": [{\"axis\": \"z\", "
                   "\"angle\": 90}]}]}");
  const test::RunResult lacking =
      test::runImporter(folder.path(""), "--esicup i.json --project p.txt --rn 1");
  EXPECT_EQ(lacking.status, 1);
  EXPECT_NE(lacking.err.find("RN 1 lacks one of the instance's rotations; RN 2 holds them all"),
            std::string::npos)
      << lacking.err;
  const test::RunResult rule = test::runImporter(
      folder.path(""), "--project p.txt --container 30 30 30 --rn 1 c.obj:2:down=+x");
  EXPECT_EQ(rule.status, 1);
  EXPECT_NE(rule.err.find("allows none of the orientations of RN 1"), std::string::npos)
      << rule.err;
  EXPECT_EQ(
      test::runImporter(folder.path(""), "--project p.txt --container 30 30 30 c.obj:sideways")
          .status,
      1);
  EXPECT_FALSE(fs::exists(folder.path("p.txt")));
  EXPECT_FALSE(fs::exists(folder.path("c.txt")));

  const test::RunResult made = test::runImporter(
      folder.path(""), "--project p.txt --container 30 30 30 --rn 2 c.obj:2:down=+x:fill");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(test::readBytes(folder.path("p.txt")).find("Copies\n2\nTurns\ndown=+x\nFiller\n----\n"),
            std::string::npos);
}

}  // namespace
}  // namespace tessera
