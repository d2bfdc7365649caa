// Any bytes as a polyhedron file: a polyhedron that keeps the reader's promises, or InputError.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "formats/polyhedron_reader.h"
#include "fuzz_support.h"
#include "model/input_error.h"

using namespace tessera;

namespace {

bool finitePoint(const Point& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool inBox(const Point& p, const Polyhedron& poly) {
  return poly.boxMin.x <= p.x && p.x <= poly.boxMax.x && poly.boxMin.y <= p.y &&
         p.y <= poly.boxMax.y && poly.boxMin.z <= p.z && p.z <= poly.boxMax.z;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(fuzz::textOf(data, size));
  Polyhedron poly;
  try {
    poly = parsePolyhedron(in, "fuzz.txt");
  } catch (const InputError&) {
    return 0;
  }
  fuzz::require(!poly.vertices.empty(), "a polyhedron has vertices");
  fuzz::require(poly.name.size() <= kMaxNameLineLength, "the name fits its line");
  fuzz::require(std::isfinite(poly.volume) && poly.volume > 0.0 && finitePoint(poly.referencePoint),
                "the volume is positive, volume and reference point finite");
  for (const Point& v : poly.vertices)
    fuzz::require(finitePoint(v) && inBox(v, poly), "every vertex is finite and in the box");
  for (const Face& face : poly.faces)
    fuzz::require(face.points.size() >= 3, "every face has at least three corners");
  return 0;
}
