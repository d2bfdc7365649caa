#include "formats/dxf_writer.h"

#include "formats/atomic_file.h"
#include "formats/number_format.h"
#include "formats/run_files.h"
#include "geometry/assert.h"
#include "model/input_error.h"

namespace tessera {
namespace {

/// Group codes are three-character fields, right-aligned: "  0", " 10".
void group(std::ostream& out, const char* code, const std::string& value) {
  out << code << '\n' << value << '\n';
}

void corner(std::ostream& out, int index, const Point& p) {
  static const char* const codes[4][3] = {
      {" 10", " 20", " 30"}, {" 11", " 21", " 31"}, {" 12", " 22", " 32"}, {" 13", " 23", " 33"}};
  group(out, codes[index][0], formatNumber(p.x));
  group(out, codes[index][1], formatNumber(p.y));
  group(out, codes[index][2], formatNumber(p.z));
}

}  // namespace

void writeLayoutDxf(std::ostream& out, const Project& project, const Layout& layout) {
  // Every entity ends with "  0", which opens the next item.
  out << "  0\nSECTION\n  2\nENTITIES\n  0\n";
  for (const Edge& edge : project.container.edges) {
    out << "LINE\n";
    group(out, "  8", "1");
    corner(out, 0, edge.start);
    corner(out, 1, edge.end);
    out << "  0\n";
  }
  for (std::size_t id = 0; id < layout.parts.size(); ++id) {
    const Polyhedron part = placedSolid(project, layout, static_cast<int>(id));
    const std::string layer = std::to_string(layout.parts[id].type + 3);
    for (const Face& face : part.faces) {
      TESSERA_ASSERT(face.points.size() >= 3);
      const std::vector<Point>& p = face.points;
      out << "3DFACE\n";
      group(out, "  8", layer);
      corner(out, 0, p[0]);
      corner(out, 1, p[1]);
      corner(out, 2, p[2]);
      corner(out, 3, p.size() == 4 ? p[3] : p[2]);
      out << "  0\n";
    }
  }
  out << "ENDSEC\n  0\nEOF\n";
}

void writeLayoutDxf(const Project& project, const Layout& layout, const std::string& fileName) {
  AtomicFile file(fileName);
  writeLayoutDxf(file.stream(), project, layout);
  if (!file.commit())
    throw InputError(runFile(RunFileRole::drawing).failure, InputError::Channel::WarningBox);
}

}  // namespace tessera
