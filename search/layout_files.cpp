#include "search/layout_files.h"

#include <exception>
#include <new>
#include <optional>

#include "formats/dxf_writer.h"
#include "formats/report_writer.h"
#include "formats/sequence_file.h"
#include "model/input_error.h"
#include "platform/encoding.h"

namespace tessera {

namespace {

std::string pauseName(const LayoutSave& save, RunFileRole role) {
  return save.baseName + runFile(role).pauseSuffix;
}

/// Each extra in turn; a failure is a warning unless the user asked for the file by name and
/// this is the end of the run, when the first such failure is kept and thrown after the rest.
void writeExtras(const Project& project, const LayoutSave& save,
                 const std::vector<ExtraLayoutFile>& extras, platform::Console& console) {
  std::optional<InputError> askedFor;
  for (const ExtraLayoutFile& extra : extras) {
    const bool atEnd = save.kind == LayoutSaveKind::final;
    const std::string path = !atEnd ? save.baseName + extra.suffix
                             : save.build > 0 && !extra.finalName.empty()
                                 ? buildFileName(extra.finalName, save.build)
                                 : extra.finalName;
    if (path.empty()) continue;
    try {
      extra.write(project, *save.layout, path);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const InputError& error) {
      if (atEnd && extra.asked) {
        if (!askedFor) askedFor = error;
      } else if (atEnd) {
        console.writeError(std::string("警告: ") + error.what() + "; 其余输出已写好。\n");
      } else {
        console.line(std::string("警告: 暂停时的附加输出失败 (") + error.what() + "); 搜索继续。");
      }
    } catch (const std::exception& error) {
      if (atEnd) throw;
      console.line(std::string("警告: 暂停时的附加输出失败 (") + error.what() + "); 搜索继续。");
    }
  }
  if (askedFor) throw *askedFor;
}

}  // namespace

void writeLayoutFiles(const Project& project, const LayoutSave& save,
                      const std::vector<ExtraLayoutFile>& extras, platform::Console& console) {
  if (save.kind == LayoutSaveKind::periodic) {
    writeSequenceFile(project, *save.archive, save.sequenceFileName, *save.best);
    return;
  }
  const Layout& layout = *save.layout;
  if (const std::string unplaced = unplacedPartsLine(project, layout); !unplaced.empty())
    console.line(unplaced);
  if (save.kind == LayoutSaveKind::final) {
    const auto name = [&](RunFileRole role) {
      return save.build > 0 ? buildFileName(runFileName(role), save.build) : runFileName(role);
    };
    const std::vector<std::string> lines = writeFinalReport(
        layout.measure, save.computingTimeText, name(RunFileRole::finalReport), save.reportLines);
    if (save.build == 0)
      for (const std::string& line : lines) console.line(line);
    writeLayoutDxf(project, layout, name(RunFileRole::drawing));
  } else {
    writeLayoutDxf(project, layout, pauseName(save, RunFileRole::drawing));
    for (const std::string& line :
         writeInterimReport(layout.measure, pauseName(save, RunFileRole::finalReport),
                            save.iteration, save.elapsedSeconds))
      console.line(line);
    if (save.archive)
      writeSequenceFile(project, *save.archive, pauseName(save, RunFileRole::sequence), *save.best);
  }
  writeExtras(project, save, extras, console);
}

std::string unplacedPartsLine(const Project& project, const Layout& layout) {
  const std::vector<int> unplaced = unplacedParts(layout);
  if (unplaced.empty()) return {};
  std::string line = "注意: " + std::to_string(unplaced.size()) + " 个零件没有找到位置 (";
  const char* separator = "";
  const LayoutMeasure& m = layout.measure;
  for (std::size_t t = 0; t < m.copiesPerType.size(); ++t) {
    const int left = m.copiesPerType[t] - m.placedPerType[t];
    if (left == 0) continue;
    line += separator + platform::messageText(project.partTypes[t].name) + " " +
            std::to_string(left) + " 个";
    separator = ", ";
  }
  return line + "), 停在容器之外; 排样高度和排样效率把它们也算在内。";
}

}  // namespace tessera
