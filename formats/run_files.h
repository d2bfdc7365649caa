#pragma once

#include <string>
#include <vector>

// The files a run of tessera writes in the project's folder, each named once here, with the
// message its writer gives when it cannot write it. The start-up checks, the pause's list of
// names it must not replace, the importer's refused part names and the help text read them.
namespace tessera {

enum class RunFileRole { log, sequence, finalReport, drawing, picture, page, lock };

struct RunFile {
  RunFileRole role;
  const char* name;         // as the run writes it (the log is appended to)
  const char* pauseSuffix;  // after the name a pause was given; nullptr: a pause does not write it
  const char* failure;      // a specified output's message when it cannot be written; else nullptr
  const char* what;         // an extra output's name in messages; else nullptr
};

inline constexpr RunFile kRunFiles[] = {
    {RunFileRole::log, "report2.txt", nullptr, "report2 file open error!", nullptr},
    {RunFileRole::sequence, "ID_Type_SequenceForPack.txt", "_ID_Type_SequenceForPack.txt",
     "ID_Type_SequenceForPack.txt file open error!", nullptr},
    {RunFileRole::finalReport, "report.txt", ".txt", "report file open error!", nullptr},
    {RunFileRole::drawing, "Layout_zodedez.dxf", ".dxf", "多面体几何信息输出失败!", nullptr},
    {RunFileRole::picture, "Layout_zodedez.png", ".png", nullptr, "布局图片"},
    {RunFileRole::page, "Layout_zodedez.html", ".html", nullptr, "布局网页"},
    // While a run searches: its process id, for the message a second run gives.
    {RunFileRole::lock, ".tessera.lock", nullptr, nullptr, nullptr},
};

const RunFile& runFile(RunFileRole role);
inline std::string runFileName(RunFileRole role) { return runFile(role).name; }

/// The file of a job's build `build` (from 1) for a run's output file name:
/// "report.txt" -> "report_build2.txt"; a path keeps its folder.
std::string buildFileName(const std::string& name, int build);

/// Whether a run writes a file of this name in its folder.
bool isRunFileName(const std::string& name);

}  // namespace tessera
