#include "picture/layout_scene.h"

#include <filesystem>
#include <stdexcept>

#include "model/input_error.h"
#include "picture/picture_file.h"

namespace tessera {

LayoutScene layoutSceneOf(const Project& project, const Layout& layout, const std::string& title) {
  const Polyhedron& container = project.container;
  LayoutScene scene;
  scene.title = title;
  scene.containerMin = container.boxMin;
  scene.containerMax = container.boxMax;
  for (const Edge& e : container.edges) scene.containerEdges.push_back({e.start, e.end});
  for (const PartType& type : project.partTypes) scene.types.push_back({type.name, 0});

  for (int id = 0; id < static_cast<int>(layout.parts.size()); ++id) {
    const PartPlacement& placement = layout.parts[static_cast<std::size_t>(id)];
    LayoutSolid solid;
    for (const Face& f : placedSolid(project, layout, id).faces) solid.faces.push_back(f.points);
    solid.typeIndex = placement.type;
    solid.placed = placement.placed;
    if (solid.typeIndex >= 0) scene.types[static_cast<std::size_t>(solid.typeIndex)].count += 1;
    scene.solids.push_back(std::move(solid));
  }
  scene.containerBottom = layout.measure.bottom;
  scene.packingHeight = layout.measure.height();
  return scene;
}

void writeLayoutPictureFile(const Project& project, const Layout& layout, const std::string& path) {
  const std::string title = std::filesystem::path(path).stem().string();
  try {
    writeLayoutPicture(path, layoutSceneOf(project, layout, title));
  } catch (const std::runtime_error& error) {
    throw InputError(std::string("布局图片输出失败: ") + error.what(),
                     InputError::Channel::StandardError);
  }
}

}  // namespace tessera
