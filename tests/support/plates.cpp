#include "support/plates.h"

namespace tessera::test {

std::string tetrahedronObject(int id, const std::string& name) {
  return "  <object id=\"" + std::to_string(id) + "\" name=\"" + name +
         "\" type=\"model\"><mesh>\n"
         "   <vertices><vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"1\" y=\"0\" z=\"0\"/>"
         "<vertex x=\"0\" y=\"1\" z=\"0\"/><vertex x=\"0\" y=\"0\" z=\"1\"/></vertices>\n"
         "   <triangles><triangle v1=\"0\" v2=\"2\" v3=\"1\"/><triangle v1=\"0\" v2=\"1\" "
         "v3=\"3\"/>"
         "<triangle v1=\"0\" v2=\"3\" v3=\"2\"/><triangle v1=\"1\" v2=\"2\" "
         "v3=\"3\"/></triangles>\n"
         "  </mesh></object>\n";
}

std::string modelXml(const std::string& unit, const std::string& resources,
                     const std::string& build) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"" + unit +
         "\" xml:lang=\"en-US\" "
         "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n <resources>\n" +
         resources + " </resources>\n <build>\n" + build + " </build>\n</model>\n";
}

}  // namespace tessera::test
