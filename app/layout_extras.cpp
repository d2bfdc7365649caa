#include "app/layout_extras.h"

#include <filesystem>

#include "formats/run_files.h"
#include "mesh/layout_export.h"
#include "page/layout_page.h"
#include "picture/layout_scene.h"

namespace tessera {

std::vector<ExtraLayoutFile> layoutExtrasFor(const Arguments& arguments, const FinalExtras& atEnd,
                                             std::shared_ptr<const PageProgress> progress,
                                             std::shared_ptr<const ExportSources> sources) {
  std::vector<ExtraLayoutFile> extras;
  if (arguments.picture) {
    const RunFile& picture = runFile(RunFileRole::picture);
    extras.push_back({picture.pauseSuffix, atEnd.picture ? picture.name : "", false,
                      [](const Project& project, const Layout& layout, const std::string& path) {
                        writeLayoutPictureFile(project, layout, path);
                      }});
    const RunFile& page = runFile(RunFileRole::page);
    extras.push_back(
        {page.pauseSuffix, atEnd.page ? page.name : "", false,
         [progress](const Project& project, const Layout& layout, const std::string& path) {
           writeLayoutPageFile(project, layout, path,
                               progress ? progress->progress() : SearchProgress());
         }});
  }
  if (arguments.exportPath) {
    const ExportContent content{arguments.exportContainer, sources.get(), arguments.exportShapes};
    extras.push_back(
        {std::filesystem::path(*arguments.exportPath).extension().string(), *arguments.exportPath,
         true,
         [content, sources](const Project& project, const Layout& layout, const std::string& path) {
           writeLayoutExport(project, layout, path, content);
         }});
  }
  return extras;
}

}  // namespace tessera
