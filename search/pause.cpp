#include "search/pause.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "formats/dxf_writer.h"
#include "formats/report_writer.h"
#include "formats/same_file.h"
#include "formats/sequence_file.h"
#include "model/solid_checks.h"
#include "platform/encoding.h"
#include "search/evaluator.h"

namespace tessera {

namespace {

/// The file a pause under baseName would replace although it must not, or an empty string.
std::string clashOf(const SearchOptions& options, const std::string& baseName) {
  std::vector<std::string> written = {baseName + ".dxf", baseName + ".txt",
                                      baseName + "_ID_Type_SequenceForPack.txt"};
  for (const std::string& suffix : options.extraSuffixes) written.push_back(baseName + suffix);
  std::vector<std::string> kept = options.protectedFiles;
  kept.push_back(options.sequenceFileName);
  kept.push_back(options.logFileName);
  for (const std::string& file : written)
    for (const std::string& protectedFile : kept)
      if (sameFile(file, protectedFile)) return protectedFile;
  return {};
}

constexpr const char* kBlanks = " \t\v\f\r";

/// The base name as the whole of the next line that is not blank, without the blanks around
/// it, so that a second word never stays behind to answer the next prompt. False at the end
/// of input.
bool readBaseName(platform::Console& console, std::string& baseName) {
  std::string line;
  for (;;) {
    if (!console.readLine(line)) return false;
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos) continue;
    baseName = line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
    return true;
  }
}

double secondsBetween(std::int64_t from, std::int64_t to, std::int64_t frequency) {
  return static_cast<double>(to - from) / static_cast<double>(frequency);
}

}  // namespace

std::string unplacedPartsLine(const PackingSystem& system) {
  const std::vector<const Part*> unplaced = partsWithoutPlace(system);
  if (unplaced.empty()) return {};
  std::vector<int> perType(system.partTypes.size(), 0);
  for (const Part* part : unplaced) {
    const int type = typeIndexOf(system, part->name);
    if (type >= 0) ++perType[static_cast<std::size_t>(type)];
  }
  std::string line = "注意: " + std::to_string(unplaced.size()) + " 个零件没有找到位置 (";
  const char* separator = "";
  for (std::size_t t = 0; t < perType.size(); ++t) {
    if (perType[t] == 0) continue;
    line += separator + platform::messageText(system.partTypes[t].name) + " " +
            std::to_string(perType[t]) + " 个";
    separator = ", ";
  }
  return line + "), 停在容器之外; 排样高度和排样效率把它们也算在内。";
}

bool pauseCheck(PackingSystem& system, SearchServices services, const SearchOptions& options,
                int iteration, const PackingSequence& best, const TypeSequenceArchive& archive,
                SearchTiming& timing) {
  platform::Console& console = services.console;
  if (!console.keyWaiting()) return true;
  const std::int64_t pauseStart = services.clock.counter();
  console.readKey();  // the key that opened the dialogue; its value does not matter

  bool keepRunning = true;
  for (;;) {
    console.line("Press 'a' to output best packing information and continue, ");
    console.line("or 'b' to end computing.");
    const int key = console.readKey();
    if (key == 'a' || key == 'A') {
      std::string baseName;
      for (;;) {
        console.write("Please input the packing file name (NOT including suffix names):");
        if (!readBaseName(console, baseName)) {
          baseName.clear();
          break;
        }
        if (baseName.find_first_of(kBlanks) != std::string::npos) {
          console.line("名称 \"" + baseName + "\" 不可用: 名称中不能有空格。请换一个名称。");
          continue;
        }
        const std::string clash = clashOf(options, baseName);
        if (clash.empty()) break;
        console.line("名称 \"" + platform::messageText(baseName) + "\" 不可用: 它会覆盖 \"" +
                     platform::messageText(clash) +
                     "\", 那是项目读取的文件或本次运行的输出。请换一个名称。");
      }
      if (!baseName.empty()) {
        const double elapsed =
            secondsBetween(timing.startCount, pauseStart, timing.frequency) - timing.pauseTotal;
        writeInterimOutput(system, services, options, baseName, archive, iteration, best,
                           elapsed);
      }
      break;
    }
    if (key == 'b' || key == 'B' || key < 0) {  // no more input: nobody can answer, stop
      keepRunning = false;
      break;
    }
  }
  timing.pauseTotal += secondsBetween(pauseStart, services.clock.counter(), timing.frequency);
  return keepRunning;
}

void writeInterimOutput(PackingSystem& system, SearchServices services,
                        const SearchOptions& options, const std::string& baseName,
                        const TypeSequenceArchive& archive, int iteration,
                        const PackingSequence& best, double elapsedSeconds) {
  evaluatorOf(options)(system, best);
  if (const std::string unplaced = unplacedPartsLine(system); !unplaced.empty())
    services.console.line(unplaced);
  writeLayoutDxf(system, baseName + ".dxf");
  for (const std::string& line :
       writeInterimReport(system, baseName + ".txt", iteration, elapsedSeconds))
    services.console.line(line);
  writeSequenceFile(system, archive, baseName + "_ID_Type_SequenceForPack.txt", best);
  // The picture and the export are extras: losing one must not end the search before the
  // files it exists to write.
  if (options.layoutExtras) {
    try {
      options.layoutExtras(system, baseName);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& error) {
      services.console.line(std::string("警告: 暂停时的附加输出失败 (") + error.what() +
                            "); 搜索继续。");
    }
  }
  system.masterParts.copyInto(system.parts);
}

}  // namespace tessera
