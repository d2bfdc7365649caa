#include "formats/run_files.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tessera {
namespace {

TEST(RunFiles, EveryRoleHasItsOwnNameAndOnlyTheRunsNamesAreTheRuns) {
  std::set<std::string> names;
  for (const RunFileRole role :
       {RunFileRole::log, RunFileRole::sequence, RunFileRole::finalReport, RunFileRole::drawing,
        RunFileRole::picture, RunFileRole::page, RunFileRole::lock}) {
    EXPECT_EQ(runFile(role).role, role);  // not the first line standing in for a missing one
    EXPECT_TRUE(names.insert(runFileName(role)).second) << runFileName(role);
    EXPECT_TRUE(isRunFileName(runFileName(role)));
  }
  EXPECT_EQ(runFileName(RunFileRole::log), "report2.txt");
  EXPECT_EQ(runFileName(RunFileRole::sequence), "ID_Type_SequenceForPack.txt");
  EXPECT_STREQ(runFile(RunFileRole::drawing).failure, "多面体几何信息输出失败!");
  // A pause writes the drawing, the report and the sequence file beside its own name, never
  // the log or the lock.
  EXPECT_EQ(runFile(RunFileRole::log).pauseSuffix, nullptr);
  EXPECT_EQ(runFile(RunFileRole::lock).pauseSuffix, nullptr);
  EXPECT_STREQ(runFile(RunFileRole::sequence).pauseSuffix, "_ID_Type_SequenceForPack.txt");
  for (const char* other : {"report", "Report.txt", "report.txt.bak", "", "project.txt"})
    EXPECT_FALSE(isRunFileName(other)) << other;
}

}  // namespace
}  // namespace tessera
