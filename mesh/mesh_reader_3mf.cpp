#include "mesh/mesh_reader_3mf.h"

#include <Model/COM/NMR_DLLInterfaces.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <limits>

#include "mesh/plate_size.h"

namespace tessera {

namespace {

using namespace NMR;

/// Releases a lib3mf instance when it goes out of scope.
class Handle {
 public:
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (instance_ != nullptr) lib3mf_release(instance_);
  }
  PLib3MFBase** out() { return &instance_; }
  PLib3MFBase* get() const { return instance_; }

 private:
  PLib3MFBase* instance_ = nullptr;
};

/// x' = x·m[0] + y·m[1] + z·m[2] + m[3], and so on per row, as 3MF states its matrices.
using Affine = std::array<std::array<double, 4>, 3>;

constexpr Affine kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}};

Affine affineOf(const MODELTRANSFORM& t) {
  Affine a;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) a[r][c] = t.m_fFields[r][c];
  return a;
}

Point apply(const Affine& a, const Point& p) {
  return {a[0][0] * p.x + a[0][1] * p.y + a[0][2] * p.z + a[0][3],
          a[1][0] * p.x + a[1][1] * p.y + a[1][2] * p.z + a[1][3],
          a[2][0] * p.x + a[2][1] * p.y + a[2][2] * p.z + a[2][3]};
}

/// The transform of a build item or component: has and get are lib3mf's pair of calls for it.
template <typename Has, typename Get>
Affine statedTransform(PLib3MFBase* owner, Has has, Get get) {
  BOOL stated = false;
  has(owner, &stated);
  if (!stated) return kIdentity;
  MODELTRANSFORM t;
  get(owner, &t);
  return affineOf(t);
}

/// outer after inner.
Affine compose(const Affine& outer, const Affine& inner) {
  Affine c;
  for (int r = 0; r < 3; ++r)
    for (int k = 0; k < 4; ++k) {
      c[r][k] = outer[r][0] * inner[0][k] + outer[r][1] * inner[1][k] + outer[r][2] * inner[2][k];
      if (k == 3) c[r][k] += outer[r][3];
    }
  return c;
}

double millimetresPerUnit(DWORD unit) {
  switch (unit) {
    case MODELUNIT_MICROMETER:
      return 0.001;
    case MODELUNIT_CENTIMETER:
      return 10.0;
    case MODELUNIT_INCH:
      return 25.4;
    case MODELUNIT_FOOT:
      return 304.8;
    case MODELUNIT_METER:
      return 1000.0;
    default:
      return 1.0;
  }
}

// Components may nest; a deeper chain is taken for a cycle.
constexpr int kDeepestComponent = 32;

/// The linear part's determinant: below 0 for a transform that mirrors.
double determinant(const Affine& a) {
  return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
         a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
         a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

class Reader {
 public:
  explicit Reader(const std::string& path) : path_(path) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw ImportError(importMessage(path_, 0, what));
  }

  /// Refuses a build that would expand past what indices can number or memoryBytes allow.
  void checkExpansion(const PlateSize& size, std::int64_t memoryBytes) const {
    const std::uint64_t bytes = importBytes(size.vertices, size.triangles);
    const auto most = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
    const bool tooMany = size.vertices > most || size.triangles > most;
    if (!tooMany && (memoryBytes < 0 || bytes <= static_cast<std::uint64_t>(memoryBytes))) return;
    auto mebibytes = [](std::uint64_t b) { return std::to_string(b / (1024 * 1024)); };
    std::string what = "the build expands to " + std::to_string(size.triangles) +
                       " triangles and " + std::to_string(size.vertices) +
                       " vertices (components repeat their meshes)";
    if (tooMany)
      what += ", more than a mesh can number";
    else
      what += ", which would take about " + mebibytes(bytes) + " MiB, more than the " +
              mebibytes(static_cast<std::uint64_t>(memoryBytes)) + " MiB of memory left";
    fail(what);
  }

  /// The triangles of object under the transform that places it, appended to mesh.
  void addObject(PLib3MFBase* object, const Affine& placement, double unit, RawMesh& mesh,
                 int depth) const {
    if (depth > kDeepestComponent)
      fail("components nest deeper than " + std::to_string(kDeepestComponent) +
           " levels (a cycle?)");
    BOOL isMesh = false, isComponents = false;
    lib3mf_object_ismeshobject(object, &isMesh);
    lib3mf_object_iscomponentsobject(object, &isComponents);
    if (isMesh) {
      DWORD vertexCount = 0, triangleCount = 0;
      lib3mf_meshobject_getvertexcount(object, &vertexCount);
      lib3mf_meshobject_gettrianglecount(object, &triangleCount);
      std::vector<MODELMESHVERTEX> vertices(vertexCount);
      std::vector<MODELMESHTRIANGLE> triangles(triangleCount);
      if ((vertexCount > 0 &&
           lib3mf_meshobject_getvertices(object, vertices.data(), vertexCount, nullptr) != 0) ||
          (triangleCount > 0 && lib3mf_meshobject_gettriangleindices(object, triangles.data(),
                                                                     triangleCount, nullptr) != 0))
        fail("cannot read a mesh of the model");
      const int first = static_cast<int>(mesh.vertices.size());
      // A mirroring transform turns the surface inside out; its triangles turn back.
      const bool mirrored = determinant(placement) < 0.0;
      for (const MODELMESHVERTEX& v : vertices) {
        const Point placed =
            apply(placement, {v.m_fPosition[0], v.m_fPosition[1], v.m_fPosition[2]});
        const Point p{placed.x * unit, placed.y * unit, placed.z * unit};
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
          fail("a vertex placed by its transform is not finite");
        mesh.vertices.push_back(p);
      }
      for (const MODELMESHTRIANGLE& t : triangles) {
        std::vector<int> ring;
        for (DWORD index : t.m_nIndices) {
          if (index >= vertexCount)
            fail("vertex index " + std::to_string(index) + " is out of range (" +
                 std::to_string(vertexCount) + " vertices)");
          ring.push_back(first + static_cast<int>(index));
        }
        if (mirrored) std::swap(ring[1], ring[2]);
        mesh.faces.push_back(std::move(ring));
        mesh.faceLines.push_back(0);
      }
    } else if (isComponents) {
      DWORD count = 0;
      lib3mf_componentsobject_getcomponentcount(object, &count);
      for (DWORD i = 0; i < count; ++i) {
        Handle component, inner;
        if (lib3mf_componentsobject_getcomponent(object, i, component.out()) != 0 ||
            lib3mf_component_getobjectresource(component.get(), inner.out()) != 0)
          fail("cannot read a component of the model");
        const Affine local = statedTransform(component.get(), lib3mf_component_hastransform,
                                             lib3mf_component_gettransform);
        addObject(inner.get(), compose(placement, local), unit, mesh, depth + 1);
      }
    }
  }

  std::string nameOf(PLib3MFBase* object) const {
    ULONG needed = 0;
    if (lib3mf_object_getnameutf8(object, nullptr, 0, &needed) != 0 || needed == 0) return {};
    std::string name(needed + 1, '\0');
    if (lib3mf_object_getnameutf8(object, name.data(), needed + 1, &needed) != 0) return {};
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    return name;
  }

  std::vector<BuildItemMesh> read(std::int64_t memoryBytes) const {
    checkMeshFileKind(path_);
    // Before the 3MF reader sees it: the reader itself walks every path through the components.
    if (const PlateSize size = plateSizeOf(path_); size.counted) checkExpansion(size, memoryBytes);
    Handle model, reader;
    if (lib3mf_createmodel(model.out()) != 0 ||
        lib3mf_model_queryreader(model.get(), "3mf", reader.out()) != 0)
      fail("cannot start the 3MF reader");
    if (lib3mf_reader_readfromfileutf8(reader.get(), path_.c_str()) != 0) {
      DWORD code = 0;
      LPCSTR message = nullptr;
      lib3mf_getlasterror(reader.get(), &code, &message);
      fail(std::string("is not a readable 3MF package (") +
           (message != nullptr && *message != '\0' ? message : "error " + std::to_string(code)) +
           ")");
    }
    DWORD unitCode = MODELUNIT_MILLIMETER;
    lib3mf_model_getunit(model.get(), &unitCode);
    const double unit = millimetresPerUnit(unitCode);

    std::vector<BuildItemMesh> items;
    Handle iterator;
    if (lib3mf_model_getbuilditems(model.get(), iterator.out()) != 0)
      fail("cannot read the build of the model");
    BOOL more = false;
    while (lib3mf_builditemiterator_movenext(iterator.get(), &more) == 0 && more) {
      Handle item, object;
      if (lib3mf_builditemiterator_getcurrent(iterator.get(), item.out()) != 0 ||
          lib3mf_builditem_getobjectresource(item.get(), object.out()) != 0)
        fail("cannot read an item of the build");
      const Affine placement = statedTransform(item.get(), lib3mf_builditem_hasobjecttransform,
                                               lib3mf_builditem_getobjecttransform);
      BuildItemMesh out{nameOf(object.get()), {}};
      addObject(object.get(), placement, unit, out.mesh, 0);
      if (!out.mesh.faces.empty()) items.push_back(std::move(out));
    }
    if (items.empty()) fail("the 3MF model places no object with triangles in its build");
    return items;
  }

 private:
  const std::string& path_;
};

}  // namespace

std::vector<BuildItemMesh> read3mf(const std::string& path, std::int64_t memoryBytes) {
  return Reader(path).read(memoryBytes);
}

bool is3mfPath(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == ".3mf";
}

}  // namespace tessera
