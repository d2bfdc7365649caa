// Layout export: the objects of a layout, the OBJ, STL and 3MF files, and the command line.
#include "mesh/layout_export.h"

#include <Model/COM/NMR_DLLInterfaces.h>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/arguments.h"
#include "app/layout_extras.h"
#include "app/run.h"
#include "mesh/mesh_writer_3mf.h"
#include "model/input_error.h"
#include "support/exported_meshes.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

/// A U-shaped prism. Its end faces are non-convex octagons whose fan from the first corner
/// would stick out through the notch. Volume 5, surface area 22.
Polyhedron uShape() {
  return test::prism({{0, 0}, {3, 0}, {3, 2}, {2, 2}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, 0, 1,
                     "ushape");
}

using PointSet = std::set<std::tuple<double, double, double>>;

PointSet pointSet(const std::vector<Point>& points) {
  PointSet set;
  for (const Point& p : points) set.emplace(p.x, p.y, p.z);
  return set;
}

std::vector<std::string> namesOf(const std::vector<MeshObject>& objects) {
  std::vector<std::string> names;
  for (const MeshObject& object : objects) names.push_back(object.name);
  return names;
}

/// The layout in every format, read back with the plain readers.
struct Exports {
  Exports(const Project& project, bool withContainer)
      : Exports(project, parkedLayout(project), withContainer) {}
  Exports(const Project& project, const Layout& layout, bool withContainer) {
    const std::vector<MeshObject> objects = layoutObjects(project, layout, {withContainer});
    std::ostringstream objText, stlText;
    writeObj(objText, objects);
    writeAsciiStl(stlText, objects);
    obj = test::objectsOfObj(objText.str());
    stl = test::objectsOfStl(stlText.str());
    threeMf = test::objectsOf3mf(threeMfPackage(objects));
  }
  std::vector<MeshObject> obj, stl, threeMf;
};

/// What an independent 3MF reader finds in a package.
struct Lib3mfView {
  bool read = false;
  unsigned warnings = 0;
  std::vector<std::string> names;
  std::vector<unsigned> triangleCounts;
};

/// lib3mf leaks a libzip file handle per entry it reads; that is not ours to find, so the
/// leak checker looks away while it runs.
struct LibraryLeaksIgnored {
#if defined(__SANITIZE_ADDRESS__)
  LibraryLeaksIgnored() { __lsan_disable(); }
  ~LibraryLeaksIgnored() { __lsan_enable(); }
#endif
};

Lib3mfView readWithLib3mf(std::string bytes) {
  using namespace NMR;
  [[maybe_unused]] const LibraryLeaksIgnored ignored;
  Lib3mfView view;
  PLib3MFModel* model = nullptr;
  PLib3MFModelReader* reader = nullptr;
  if (lib3mf_createmodel(&model) != 0 || lib3mf_model_queryreader(model, "3mf", &reader) != 0)
    return view;
  view.read = lib3mf_reader_readfrombuffer(reader, reinterpret_cast<BYTE*>(bytes.data()),
                                           bytes.size()) == 0;
  DWORD warnings = 0;
  lib3mf_reader_getwarningcount(reader, &warnings);
  view.warnings = warnings;
  PLib3MFModelResourceIterator* objects = nullptr;
  BOOL more = false;
  if (view.read && lib3mf_model_getmeshobjects(model, &objects) == 0) {
    while (lib3mf_resourceiterator_movenext(objects, &more) == 0 && more) {
      PLib3MFModelResource* object = nullptr;
      lib3mf_resourceiterator_getcurrent(objects, &object);
      char name[256] = {};
      ULONG needed = 0;
      DWORD triangles = 0;
      lib3mf_object_getnameutf8(object, name, sizeof name, &needed);
      lib3mf_meshobject_gettrianglecount(object, &triangles);
      view.names.push_back(name);
      view.triangleCounts.push_back(triangles);
      lib3mf_release(object);
    }
    lib3mf_release(objects);
  }
  lib3mf_release(reader);
  lib3mf_release(model);
  return view;
}

TEST(LayoutExport, OneObjectPerPartNamedByIdAndTheContainerOnlyWhenAsked) {
  const Project project = test::makeProject(test::box({0, 0, 0}, {6, 6, 6}, "box"),
                                            {test::lShape("bracket"), test::cube(1)}, 1, 1);
  const std::vector<std::string> parts{"bracket#0", "cube#1"};
  const Exports without(project, false);
  const Exports with(project, true);
  for (const auto* objects : {&without.obj, &without.stl, &without.threeMf})
    EXPECT_EQ(namesOf(*objects), parts);
  for (const auto* objects : {&with.obj, &with.stl, &with.threeMf}) {
    EXPECT_EQ(namesOf(*objects), (std::vector<std::string>{"bracket#0", "cube#1", "container"}));
    EXPECT_EQ(pointSet(objects->back().vertices), pointSet(project.container.vertices));
  }
  // Parts are exported where they stand: here still parked on the container's corner.
  EXPECT_EQ(with.obj[1].vertices, project.parts[1].vertices);
}

TEST(LayoutExport, EveryFormatReadsBackAsTheSameSolidToTheLastBit) {
  const Project project = test::makeProject(test::box({0, 0, 0}, {9, 9, 9}), {uShape()}, 1, 1);
  // Coordinates that need all 17 digits; the end faces are non-convex.
  PartPlacement moved = parkedPlacement(project, 0);
  addMove(moved.motion, {0.1, 1.0 / 3.0, 0.2});
  const Layout layout = makeLayout(project, {moved});
  Part placed = project.parts[0];
  placed.translate({0.1, 1.0 / 3.0, 0.2});
  const Exports exports(project, layout, false);
  for (const auto* objects : {&exports.obj, &exports.stl, &exports.threeMf}) {
    ASSERT_EQ(objects->size(), 1u);
    const MeshObject& read = objects->front();
    EXPECT_EQ(pointSet(read.vertices), pointSet(placed.vertices));
    EXPECT_NEAR(test::volumeOf(read), 5.0, 1e-12);
  }
  // A triangle sticking out of its face adds area and leaves the volume as it is.
  for (const auto* triangles : {&exports.stl, &exports.threeMf})
    EXPECT_NEAR(test::unsignedArea(triangles->front()), 22.0, 1e-12);
  EXPECT_EQ(exports.obj[0].vertices, placed.vertices) << "OBJ keeps the vertex list";
  EXPECT_EQ(exports.obj[0].faces.size(), placed.faces.size()) << "OBJ keeps the polygons";
  EXPECT_EQ(exports.obj[0].faces[0].size(), 8u);
}

TEST(LayoutExport, ThreeMfPackageConformsAndHasTheSameBytesEveryTime) {
  Polyhedron oddName = test::tetrahedron("a&b<\"c\">");
  Polyhedron notUtf8 = test::cube(1, "gb\xb7\xd6");  // GBK, shown as its character
  const Project project =
      test::makeProject(test::box({0, 0, 0}, {6, 6, 6}), {uShape(), oddName, notUtf8}, 1, 1);
  const std::vector<MeshObject> objects = layoutObjects(project, parkedLayout(project), {true});
  const std::string bytes = threeMfPackage(objects);
  EXPECT_EQ(threeMfPackage(objects), bytes);

  std::vector<std::string> names;
  for (const PackagePart& part : readZipPackage(bytes)) names.push_back(part.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels", "3D/3dmodel.model"}));
  // Every entry, in its local header and in the central directory, carries 1980-01-01 00:00.
  int headers = 0;
  for (const auto& [signature, timeAt] :
       {std::pair{std::string("PK\3\4"), 10}, std::pair{std::string("PK\1\2"), 12}}) {
    for (std::size_t at = bytes.find(signature); at != std::string::npos;
         at = bytes.find(signature, at + 1), ++headers)
      EXPECT_EQ(bytes.substr(at + timeAt, 4), std::string("\0\0\x21\0", 4));
  }
  EXPECT_EQ(headers, 6);

  const Lib3mfView view = readWithLib3mf(bytes);
  ASSERT_TRUE(view.read);
  EXPECT_EQ(view.warnings, 0u);
  EXPECT_EQ(view.names, (std::vector<std::string>{"ushape#0", "a&b<\"c\">#1", "gb\xE5\x88\x86#2",
                                                  "container"}));
  EXPECT_EQ(view.triangleCounts, (std::vector<unsigned>{28, 4, 12, 12}));
}

TEST(LayoutExport, UnwritableTargetIsBadOutputNamingTheFile) {
  const Project project = test::makeProject(test::box({0, 0, 0}, {6, 6, 6}), {test::cube(1)}, 1, 1);
  test::ScratchFolder folder;
  for (const std::string& path : {folder.path("missing/layout.3mf"), folder.path("layout.ply")}) {
    try {
      writeLayoutExport(project, parkedLayout(project), path, {});
      ADD_FAILURE() << path << " was written";
    } catch (const InputError& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
      EXPECT_EQ(error.channel(), InputError::Channel::StandardError);
    }
  }
  EXPECT_TRUE(folder.entries().empty());
}

TEST(ExportArguments, PathsAreTakenFromTheStartingFolderAndCheckedForAFormat) {
  const std::filesystem::path start = "/start/here";
  auto exportOf = [&](std::vector<std::string> args) {
    return parseArguments(args, start).exportPath.value_or("(none)");
  };
  EXPECT_EQ(exportOf({"job/p.txt", "--export", "out/l.3mf"}), "/start/here/out/l.3mf");
  EXPECT_EQ(exportOf({"--export=../l.STL"}), "/start/l.STL");
  EXPECT_EQ(exportOf({"--export", "/elsewhere/l.obj"}), "/elsewhere/l.obj");
  EXPECT_EQ(exportOf({"p.txt"}), "(none)");
  EXPECT_TRUE(parseArguments({"--export", "l.obj", "--export-container"}, start).exportContainer);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--export", "l.ply"}, {"--export"}, {"--export-container"}})
    EXPECT_THROW(parseArguments(bad, start), InputError) << bad[0];
}

TEST(ExportArguments, PauseWritesTheExportUnderItsBaseNameInTheWorkingFolder) {
  test::ScratchFolder folder;
  Project project = test::makeProject(test::box({0, 0, 0}, {6, 6, 6}), {test::cube(1)}, 1, 1);
  Arguments arguments = parseArguments({"--export", "final.stl", "--no-picture"}, "/nowhere");
  {
    test::WorkingDirectory inside(folder.path(""));
    for (const ExtraLayoutFile& extra : layoutExtrasFor(arguments))
      extra.write(project, parkedLayout(project), "snap" + extra.suffix);
  }
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"snap.stl"});
  EXPECT_EQ(test::objectsOfStl(test::readBytes(folder.path("snap.stl"))).size(), 1u);
}

TEST(LayoutExport, AGbkNamedPartIsNamedInUtf8InEveryFormat) {
  // "测试件" as a polyhedron file written on a Chinese project holds it, in GBK.
  const std::string gbk = "\xB2\xE2\xCA\xD4\xBC\xFE";
  const std::string utf8 = "\xE6\xB5\x8B\xE8\xAF\x95\xE4\xBB\xB6";
  const Project project =
      test::makeProject(test::box({0, 0, 0}, {6, 6, 6}, "box"), {test::cube(1, gbk)}, 1, 1);
  const Exports exports(project, false);
  for (const auto* objects : {&exports.obj, &exports.stl, &exports.threeMf})
    EXPECT_EQ(namesOf(*objects), std::vector<std::string>{utf8 + "#0"});
  const Lib3mfView view =
      readWithLib3mf(threeMfPackage(layoutObjects(project, parkedLayout(project), {})));
  ASSERT_TRUE(view.read);
  EXPECT_EQ(view.warnings, 0u);
  EXPECT_EQ(view.names, std::vector<std::string>{utf8 + "#0"});
  // A name already in UTF-8 stays as it is.
  const Project same =
      test::makeProject(test::box({0, 0, 0}, {6, 6, 6}, "box"), {test::cube(1, utf8)}, 1, 1);
  EXPECT_EQ(namesOf(Exports(same, false).obj), std::vector<std::string>{utf8 + "#0"});
}

}  // namespace
}  // namespace tessera
