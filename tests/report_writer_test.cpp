#include "formats/report_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/input_error.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/solids.h"

namespace tessera {
namespace {

Part slab(double zMin, double zMax, double volume) {
  Part part = test::box({0, 0, zMin}, {10, 10, zMax}, "slab");
  part.volume = volume;  // as stated in the part file, not the box's
  return part;
}

/// The measure of the parts where their files have them, in the container.
LayoutMeasure measureOf(const Polyhedron& container, const std::vector<Part>& parts) {
  const Project project = test::loadedProject(container, parts, 1, 1);
  return test::layoutAtSources(project).measure;
}

/// Container 30 x 31, parts of volume 5200 up to height 12.5.
LayoutMeasure documentedExample() {
  return measureOf(test::box({0, 0, 0}, {30, 31, 40}, "container"),
                   {slab(0, 7, 2200), slab(0, 12.5, 3000)});
}

TEST(ReportWriter, FinalReportExampleIsWrittenInGbk) {
  test::ScratchFolder folder;
  const std::string path = folder.path("report.txt");
  test::writeBytes(path, std::string(5000, 'x'));
  const std::vector<std::string> lines = writeFinalReport(documentedExample(), "273.00 秒", path);
  EXPECT_EQ(test::readBytes(path),
            test::readBytes(test::dataPath("golden/final_report_example.txt")));
  EXPECT_EQ(lines,
            (std::vector<std::string>{"Calculating Time:273.00 秒", "Volume of All Parts:5200",
                                      "Length of Container:30", "Width of Container:31",
                                      "Packing Height:12.5", "Packing Density:44.7312%"}));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"report.txt"}));
}

TEST(ReportWriter, HeightCountsEveryPartFromTheContainerBottomAndNeverBelowIt) {
  const Polyhedron container = test::box({0, 0, 5}, {30, 31, 40}, "container");
  const Part low = slab(-8, 3, 100);  // lower than the container's bottom
  std::vector<std::string> lines = finalReportLines(measureOf(container, {low}), "");
  EXPECT_EQ(lines[4], "Packing Height:0");
  EXPECT_EQ(lines[5], "Packing Density:inf%");

  // Parked above the container.
  lines = finalReportLines(measureOf(container, {slab(40, 52.5, 100), low}), "");
  EXPECT_EQ(lines[4], "Packing Height:47.5");
  EXPECT_EQ(lines[5], "Packing Density:0.452745%");  // 200 / (47.5 * 30 * 31) * 100
}

TEST(ReportWriter, WithoutPartsTheDensityIsNan) {
  EXPECT_EQ(
      finalReportLines(measureOf(test::box({0, 0, 0}, {30, 31, 40}, "container"), {}), "0.00 秒"),
      (std::vector<std::string>{"Calculating Time:0.00 秒", "Volume of All Parts:0",
                                "Length of Container:30", "Width of Container:31",
                                "Packing Height:0", "Packing Density:nan%"}));
}

TEST(ReportWriter, InterimReportHasIterationAndSeconds) {
  test::ScratchFolder folder;
  const std::string path = folder.path("pause1.txt");
  const std::vector<std::string> lines =
      writeInterimReport(documentedExample(), path, 17, 12.345678);
  const std::vector<std::string> expected = {"Volume of All Parts:5200", "Length of Container:30",
                                             "Width of Container:31",    "Packing Height:12.5",
                                             "Packing Density:44.7312%", "Iteration Number:17",
                                             "Computing time:12.3457 s"};
  EXPECT_EQ(lines, expected);
  std::string file;
  for (const std::string& line : expected) file += line + "\n";
  EXPECT_EQ(test::readBytes(path), file);
}

TEST(ReportWriter, UnwritableFileIsReportedOnStandardError) {
  test::ScratchFolder folder;
  for (const std::string& path : {folder.path("missing/report.txt"), folder.path("")}) {
    try {
      writeInterimReport(documentedExample(), path, 1, 1.0);
      FAIL() << path;
    } catch (const InputError& error) {
      EXPECT_STREQ(error.what(), "report file open error!");
      EXPECT_EQ(error.channel(), InputError::Channel::StandardError);
    }
  }
  EXPECT_TRUE(folder.entries().empty());
}

}  // namespace
}  // namespace tessera
