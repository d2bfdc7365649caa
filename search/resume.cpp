#include "search/resume.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "formats/number_format.h"
#include "formats/sequence_file.h"
#include "formats/text_lines.h"
#include "model/input_error.h"
#include "search/sequences.h"

namespace tessera {

namespace {

/// First name beside path that is free: path + ".bak", then ".bak2", ".bak3", ...
std::string freeBackupName(const std::string& path) {
  std::string name = path + ".bak";
  for (int i = 2; std::filesystem::exists(name); ++i) name = path + ".bak" + std::to_string(i);
  return name;
}

/// A copy of a file kept under a free backup name, and what kept the copy from being made.
struct Backup {
  std::string name;
  std::error_code error;
};

Backup backUp(const std::string& fileName) {
  Backup backup{freeBackupName(fileName), {}};
  std::filesystem::copy_file(fileName, backup.name, backup.error);
  return backup;
}

/// Called once the console has said why the file is kept.
void refuseWithoutBackup(const Backup& backup) {
  if (backup.error)
    throw InputError(
        "无法保存排样序列文件的备份 \"" + backup.name + "\": " + backup.error.message(),
        InputError::Channel::StandardError);
}

InputError unreadableSequenceFile(const std::string& fileName, const std::string& reason) {
  return InputError(std::string(unreadableFile(fileName).what()) + " (" + reason +
                    "): 该文件保持不变; 请先让它可读, 或把它移走后从初始序列开始。");
}

}  // namespace

bool resumeFromSequenceFile(const Project& project, platform::Console& console,
                            const std::string& fileName, PackingSequence& current,
                            TypeSequenceArchive& archive) {
  // A folder or a pipe under the name could be neither read nor replaced: say so now rather
  // than fail at the end of the search.
  std::error_code statusError;
  const std::filesystem::file_status status = std::filesystem::status(fileName, statusError);
  if (status.type() == std::filesystem::file_type::not_found) return false;
  // A file that is there but cannot be read holds a history this run would replace with a
  // shorter one: refuse rather than start afresh.
  if (statusError) throw unreadableSequenceFile(fileName, statusError.message());
  if (!std::filesystem::is_regular_file(status)) throw unreadableFile(fileName);
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw unreadableSequenceFile(fileName, std::strerror(errno));
  SequenceFileContents contents = readSequenceFile(project, in);
  in.close();
  if (contents.readFailed) throw unreadableSequenceFile(fileName, "read error");
  if (const auto reason = checkSequenceFile(project, contents)) {
    const Backup backup = backUp(fileName);
    console.line("警告: 排样序列文件 \"" + fileName + "\" 与当前项目不符 (" + *reason +
                 "), 不予使用; 从初始序列开始搜索。原文件已保存为 \"" + backup.name + "\"。");
    refuseWithoutBackup(backup);
    return false;
  }
  current = contents.idSequence;
  archive = std::move(contents.archive);
  return true;
}

double recheckResumedBest(const Project& project, platform::Console& console,
                          const Evaluator& evaluate, PlacementRule rule,
                          const std::string& fileName, PackingSequence& current,
                          TypeSequenceArchive& archive) {
  const double evaluated = evaluate(project, current).measure.efficiency();
  if (formatNumber(evaluated) == formatNumber(current.efficiency)) return current.efficiency;
  const Backup backup = backUp(fileName);
  console.line(
      "警告: 排样序列文件 \"" + fileName + "\" 记录的最优排样效率 " +
      formatNumber(current.efficiency) + " 与其排样实际得到的 " + formatNumber(evaluated) +
      " 不符 (项目或文件已改动, 或者文件是在另一种放置规则下搜索得到的; 本次运行的放置规则为 "
      "--placement " +
      placementRuleName(rule) +
      "); 采用实际值, 文件中记录的各序列效率不再可比, 不予使用。"
      "原文件已保存为 \"" +
      backup.name + "\"。");
  refuseWithoutBackup(backup);
  current.efficiency = evaluated;
  archive = TypeSequenceArchive();
  archive.insertSorted(toTypeSequence(project, current));
  return evaluated;
}

}  // namespace tessera
