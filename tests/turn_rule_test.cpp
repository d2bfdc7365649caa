// Turn rules per part type: which orientations they keep, how the project file stores them
// with the filler mark, and how the import reads them after a mesh's name.
#include "model/turn_rule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "formats/project_loader.h"
#include "mesh/import_project.h"
#include "mesh/mesh_import.h"
#include "model/input_error.h"
#include "model/solid_checks.h"
#include "squeeze/problem.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

int allowedCount(const std::string& rule, int RN) {
  int n = 0;
  for (const char a : allowedTurns(*parseTurnRule(rule), buildOrientations(RN))) n += a;
  return n;
}

TEST(TurnRule, KeepsTheOrientationsItNames) {
  // RN 2 is the 24 axis-aligned turns: 4 about each vertical side, one identity.
  EXPECT_EQ(allowedCount("all", 2), 24);
  EXPECT_EQ(allowedCount("upright", 2), 4);
  EXPECT_EQ(allowedCount("down=+x", 2), 4);
  EXPECT_EQ(allowedCount("up=-y", 2), 4);
  EXPECT_EQ(allowedCount("down=-z", 2), 4);
  EXPECT_EQ(allowedCount("none", 2), 1);
  // RN 1: the identity and the half turns about x, y and z.
  EXPECT_EQ(allowedCount("upright", 1), 2);
  EXPECT_EQ(allowedCount("none", 1), 1);
  EXPECT_EQ(allowedCount("down=+x", 1), 0);
  EXPECT_FALSE(ruleLeavesATurn(*parseTurnRule("down=+x"), 1));
  EXPECT_TRUE(ruleLeavesATurn(*parseTurnRule("down=+x"), 2));

  const std::vector<Orientation> table = buildOrientations(4);
  const TurnRule upright = *parseTurnRule("upright");
  const TurnRule faceDown = *parseTurnRule("down=+y");
  for (const Orientation& o : table) {
    const Point z = apply(o, {0, 0, 1});
    EXPECT_EQ(allowsTurn(upright, o), std::fabs(z.z - 1.0) < 1e-9);
    const Point y = apply(o, {0, 1, 0});
    EXPECT_EQ(allowsTurn(faceDown, o), std::fabs(y.z + 1.0) < 1e-9);
  }
}

TEST(TurnRule, TextReadsBackAndUnknownFormsAreRefused) {
  for (const char* text : {"all", "upright", "none", "down=+x", "down=-z", "up=-y", "up=+z"})
    EXPECT_EQ(turnRuleText(*parseTurnRule(text)), text);
  for (const char* text : {"", "Upright", "down", "down=x", "down=+w", "up=-", "sideways"})
    EXPECT_FALSE(parseTurnRule(text)) << text;
}

TEST(ProjectTurns, RulesReachTheFitCheckAndTheSqueeze) {
  // A post 1 x 1 x 6 in a container 8 x 8 x 3: it fits only lying down.
  Project project =
      test::makeProject(test::box({0, 0, 0}, {8, 8, 3}, "container"),
                        {test::box({0, 0, 0}, {1, 1, 6}, "post"), test::cube(1)}, 1.0, 2);
  EXPECT_EQ(partFittingNowhere(project), nullptr);
  SqueezeProblem problem = makeProblem(project);
  ASSERT_EQ(problem.allowedOrientations.size(), 2u);
  EXPECT_EQ(problem.allowedOrientations[0].size(), 24u);

  const int post = typeIndexOf(project.partTypes, "post");
  project.partTypes[static_cast<std::size_t>(post)].turns = *parseTurnRule("upright");
  buildOrientations(project);
  const Part* refused = partFittingNowhere(project);
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->name, "post");
  problem = makeProblem(project);
  EXPECT_EQ(problem.allowedOrientations[static_cast<std::size_t>(post)].size(), 4u);
  for (int o : problem.allowedOrientations[static_cast<std::size_t>(post)])
    EXPECT_TRUE(
        allowsTurn(*parseTurnRule("upright"), problem.orientations[static_cast<std::size_t>(o)]));
  EXPECT_EQ(problem.allowedOrientations[static_cast<std::size_t>(1 - post)].size(), 24u);

  project.partTypes[static_cast<std::size_t>(post)].turns = *parseTurnRule("down=+x");
  buildOrientations(project);
  EXPECT_EQ(partFittingNowhere(project), nullptr);

  // An odd RN has no quarter turns. Past kMostRuleChecked the reader lets the rule pass; the
  // part then fits nowhere when the run checks the parts.
  EXPECT_TRUE(ruleLeavesATurn(*parseTurnRule("down=+x"), 41));
  project.RN = 41;
  buildOrientations(project);
  ASSERT_GT(project.orientationCount(), kMostRuleChecked);
  ASSERT_NE(partFittingNowhere(project), nullptr);
  EXPECT_EQ(partFittingNowhere(project)->name, "post");
}

const char* const kTwoParts =
    "PBSL=1\nRN=2\nContainer\n\"box.txt\"\nParts\n\"a.txt\"\nCopies\n3\n%A----\n"
    "Next part\n\"b.txt\"\nCopies\n2\n%B----\n#EndFile\n";

std::string withOptions(const std::string& a, const std::string& b) {
  std::string text = kTwoParts;
  text.replace(text.find("%A"), 2, a);
  text.replace(text.find("%B"), 2, b);
  return text;
}

ProjectFile parse(const std::string& text) {
  std::istringstream in(text);
  return parseProjectFile(in, "p.txt");
}

std::string errorOf(const std::string& text) {
  try {
    parse(text);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ProjectFileTurns, OptionalLinesAreReadAndWrittenBack) {
  const ProjectFile plain = parse(withOptions("", ""));
  ASSERT_EQ(plain.blocks.size(), 2u);
  EXPECT_EQ(plain.blocks[0].turns, TurnRule{});
  EXPECT_FALSE(plain.blocks[1].filler);
  EXPECT_EQ(plain.blocks[1].copyCount, 2);

  const ProjectFile marked = parse(withOptions("Turns\nupright\n", "Turns\n down=+x \nFiller\n"));
  ASSERT_EQ(marked.blocks.size(), 2u);
  EXPECT_EQ(marked.blocks[0].turns, *parseTurnRule("upright"));
  EXPECT_FALSE(marked.blocks[0].filler);
  EXPECT_EQ(marked.blocks[0].ruleLine, 10);
  EXPECT_EQ(marked.blocks[1].turns, *parseTurnRule("down=+x"));
  EXPECT_TRUE(marked.blocks[1].filler);
  EXPECT_EQ(marked.blocks[1].countLine, 15);
  EXPECT_EQ(marked.blocks[1].ruleLine, 18);
  EXPECT_EQ(parse(withOptions("Filler \n", "")).blocks[0].filler, true);
  // Either order, and a note after the rule, read to the same block.
  const ProjectFile noted =
      parse(withOptions("Filler\nTurns\nupright  (threaded)\n", "Turns\ndown=+x // lies flat\n"));
  EXPECT_TRUE(noted.blocks[0].filler);
  EXPECT_EQ(noted.blocks[0].turns, *parseTurnRule("upright"));
  EXPECT_EQ(noted.blocks[0].ruleLine, 11);
  EXPECT_EQ(noted.blocks[1].turns, *parseTurnRule("down=+x"));

  // The writer writes the lines only where they say something, so that a project without
  // rules is written as before.
  std::ostringstream out;
  writeProjectFile(out, 1, 2, "box.txt",
                   {{"a.txt", 3, *parseTurnRule("upright"), false},
                    {"b.txt", 2, *parseTurnRule("down=+x"), true}});
  EXPECT_EQ(out.str(), withOptions("Turns\nupright\n", "Turns\ndown=+x\nFiller\n"));
  std::ostringstream plainOut;
  writeProjectFile(plainOut, 1, 2, "box.txt", {{"a.txt", 3}, {"b.txt", 2}});
  EXPECT_EQ(plainOut.str(), withOptions("", ""));
}

TEST(ProjectFileTurns, BadRulesAreRefusedAtTheirLine) {
  EXPECT_NE(errorOf(withOptions("Turns\nsideways\n", "")).find("第10行"), std::string::npos)
      << errorOf(withOptions("Turns\nsideways\n", ""));
  EXPECT_NE(errorOf(withOptions("Turns\ndown=+w\n", "")).find("down=+w"), std::string::npos);
  // RN 1 has no quarter turns: no orientation keeps +x down.
  std::string rn1 = withOptions("", "Turns\ndown=+x\n");
  rn1.replace(rn1.find("RN=2"), 4, "RN=1");
  EXPECT_NE(errorOf(rn1).find("第15行"), std::string::npos) << errorOf(rn1);
  // "Turns" as the last line is a file cut short.
  const std::string cut =
      errorOf("PBSL=1\nRN=2\nContainer\n\"box.txt\"\nParts\n\"a.txt\"\nCopies\n3\nTurns\n");
  EXPECT_NE(cut.find("转动规则"), std::string::npos) << cut;
}

TEST(ProjectFileTurns, LoadedTypesCarryTheirRuleAndOneNameTurnsAlike) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("box.txt"), test::boxFileText("Container", 6, 6, 6));
  test::writeBytes(folder.path("a.txt"), test::boxFileText("a", 1, 2, 3));
  test::writeBytes(folder.path("b.txt"), test::boxFileText("b", 1, 1, 1));
  test::writeBytes(folder.path("p.txt"), withOptions("Turns\nupright\n", "Filler\n"));
  test::WorkingDirectory inside(folder.path(""));
  Project project;
  loadProject(project, "p.txt");
  ASSERT_EQ(project.partTypes.size(), 2u);
  EXPECT_EQ(project.partTypes[0].turns, *parseTurnRule("upright"));
  EXPECT_FALSE(project.partTypes[0].filler);
  EXPECT_EQ(project.partTypes[1].turns, TurnRule{});
  EXPECT_TRUE(project.partTypes[1].filler);

  // Two blocks of one part file (one name) with different rules.
  std::string twice = withOptions("Turns\nupright\n", "");
  twice.replace(twice.find("b.txt"), 5, "a.txt");
  test::writeBytes(folder.path("p.txt"), twice);
  try {
    loadProject(project, "p.txt");
    ADD_FAILURE() << "one name with two rules was accepted";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("第15行"), std::string::npos) << e.what();
  }
}

TEST(ImportTurns, SuffixesAfterTheMesh) {
  PartRequest r = parsePartRequest("part.stl:3:upright");
  EXPECT_EQ(r.meshPath, "part.stl");
  EXPECT_EQ(r.copies, 3);
  EXPECT_EQ(r.turns, *parseTurnRule("upright"));
  EXPECT_FALSE(r.filler);
  r = parsePartRequest("part.stl:fill");
  EXPECT_EQ(r.meshPath, "part.stl");
  EXPECT_EQ(r.copies, 1);
  EXPECT_TRUE(r.filler);
  r = parsePartRequest("dir:x/part.STL:2:down=+x:fill");
  EXPECT_EQ(r.meshPath, "dir:x/part.STL");
  EXPECT_EQ(r.copies, 2);
  EXPECT_EQ(r.turns, *parseTurnRule("down=+x"));
  EXPECT_TRUE(r.filler);
  EXPECT_EQ(parsePartRequest("a:b.obj").meshPath, "a:b.obj");
  for (const char* bad : {"part.stl:sideways", "part.stl:down=+w", "part.stl:upright:3",
                          "part.stl:fill:upright", "part.stl:0:upright"})
    EXPECT_THROW(parsePartRequest(bad), ImportError) << bad;
}

}  // namespace
}  // namespace tessera
