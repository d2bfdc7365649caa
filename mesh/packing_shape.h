#pragma once

#include <cstddef>
#include <string>

#include "mesh/alpha_wrap.h"
#include "mesh/mesh_reader.h"

namespace tessera {

/// Default --detail: alpha is the diagonal of the mesh's box divided by this.
inline constexpr double kDefaultDetail = 7.0;

/// What a wrap was made of and what it became.
struct WrapNotes {
  std::size_t triangles = 0;         // of the input, after splitting polygons
  std::size_t shells = 0;            // edge-connected pieces of the input
  std::size_t openEdges = 0;         // input edges used by one triangle only
  std::size_t nonManifoldEdges = 0;  // input edges used by more than two triangles
  double offset = 0.0;               // the offset the accepted wrap was made with
  double clearance = 0.0;            // measured smallest distance from the wrap to the mesh
  int attempts = 0;                  // wraps made until the clearance held
};

/// The mesh as triangles, its faces split as the exact import splits them (splitFace, pieces
/// without area dropped), coordinates times scale. Throws ImportError naming file and the
/// face's line for a polygon face that folds over itself.
TriangleSoup soupOf(const RawMesh& mesh, double scale, const std::string& file);

/// Counts shells, open and non-manifold edges; exactly equal coordinates are one vertex.
void inspectSoup(const TriangleSoup& soup, WrapNotes& notes);

/// The packing shape of soup: its alpha wrap with alpha = box diagonal / detail, every point of
/// which is at least clearance from every triangle of soup (checked by a distance computation;
/// the offset grows until it holds). With clearance 0 the offset is alpha / 30. Throws
/// ImportError naming file when the mesh spans nothing or no wrap can be made.
TriangleSoup packingShape(const TriangleSoup& soup, double clearance, double detail,
                          const std::string& file, WrapNotes& notes);

}  // namespace tessera
