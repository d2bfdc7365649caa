#include "picture/layout_scene.h"

#include <filesystem>
#include <stdexcept>

#include "model/input_error.h"
#include "picture/picture_file.h"

namespace tessera {

LayoutScene layoutSceneOf(const PackingSystem& system, const std::string& title) {
  const Polyhedron& container = system.container;
  LayoutScene scene;
  scene.title = title;
  scene.containerMin = container.boxMin;
  scene.containerMax = container.boxMax;
  for (const Edge& e : container.edges) scene.containerEdges.push_back({e.start, e.end});
  for (const PartType& type : system.partTypes) scene.types.push_back({type.name, 0});

  double top = container.boxMin.z;
  for (const Part& part : system.parts) {
    LayoutSolid solid;
    for (const Face& f : part.faces) solid.faces.push_back(f.points);
    solid.typeIndex = typeIndexOf(system, part.name);
    solid.placed = part.placed;
    if (solid.typeIndex >= 0) scene.types[static_cast<std::size_t>(solid.typeIndex)].count += 1;
    scene.solids.push_back(std::move(solid));
    if (part.boxMax.z > top) top = part.boxMax.z;
  }
  scene.containerBottom = container.boxMin.z;
  scene.packingHeight = top - container.boxMin.z;
  return scene;
}

void writeLayoutPictureFile(const PackingSystem& system, const std::string& path) {
  const std::string title = std::filesystem::path(path).stem().string();
  try {
    writeLayoutPicture(path, layoutSceneOf(system, title));
  } catch (const std::runtime_error& error) {
    throw InputError(std::string("布局图片输出失败: ") + error.what(),
                     InputError::Channel::StandardError);
  }
}

}  // namespace tessera
