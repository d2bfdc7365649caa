#include "search/pause.h"

#include <string>
#include <vector>

#include "formats/run_files.h"
#include "formats/same_file.h"
#include "platform/encoding.h"
#include "search/layout_files.h"

namespace tessera {

namespace {

/// The file a pause under baseName would replace although it must not, or an empty string.
std::string clashOf(const SearchOptions& options, const std::string& baseName) {
  std::vector<std::string> written;
  for (const RunFileRole role :
       {RunFileRole::drawing, RunFileRole::finalReport, RunFileRole::sequence})
    written.push_back(baseName + runFile(role).pauseSuffix);
  for (const ExtraLayoutFile& extra : options.extras) written.push_back(baseName + extra.suffix);
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

PauseChoice pauseDialogue(platform::Console& console,
                          const std::function<std::string(const std::string&)>& clashOf) {
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
        const std::string clash = clashOf(baseName);
        if (clash.empty()) break;
        console.line("名称 \"" + platform::messageText(baseName) + "\" 不可用: 它会覆盖 \"" +
                     platform::messageText(clash) +
                     "\", 那是项目读取的文件或本次运行的输出。请换一个名称。");
      }
      return {true, baseName};
    }
    if (key == 'b' || key == 'B' || key < 0)  // no more input: nobody can answer, stop
      return {false, {}};
  }
}

bool pauseCheck(const Project& project, SearchServices services, const SearchOptions& options,
                int iteration, const PackingSequence& best, const TypeSequenceArchive& archive,
                SearchTiming& timing) {
  platform::Console& console = services.console;
  if (!console.keyWaiting()) return true;
  const std::int64_t pauseStart = services.clock.counter();
  console.readKey();  // the key that opened the dialogue; its value does not matter

  const PauseChoice choice = pauseDialogue(
      console, [&](const std::string& baseName) { return clashOf(options, baseName); });
  if (!choice.baseName.empty()) {
    const double elapsed =
        secondsBetween(timing.startCount, pauseStart, timing.frequency) - timing.pauseTotal;
    writeInterimOutput(project, services, options, choice.baseName, archive, iteration, best,
                       elapsed);
  }
  timing.pauseTotal += secondsBetween(pauseStart, services.clock.counter(), timing.frequency);
  return choice.keepRunning;
}

void writeInterimOutput(const Project& project, SearchServices services,
                        const SearchOptions& options, const std::string& baseName,
                        const TypeSequenceArchive& archive, int iteration,
                        const PackingSequence& best, double elapsedSeconds) {
  const Evaluator evaluate =
      options.evaluator ? options.evaluator : referenceEvaluator(options.placementRule);
  const Layout layout = evaluate(project, best);
  LayoutSave save;
  save.kind = LayoutSaveKind::pause;
  save.layout = &layout;
  save.baseName = baseName;
  save.iteration = iteration;
  save.elapsedSeconds = elapsedSeconds;
  save.best = &best;
  save.archive = &archive;
  writeLayoutFiles(project, save, options.extras, services.console);
}

}  // namespace tessera
