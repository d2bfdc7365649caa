#pragma once

#include <string>

// 3MF plates written by hand, for the import of build items, transforms and units.
namespace tessera::test {

/// An object resource: the outward corner tetrahedron with edges of 1 along the axes.
std::string tetrahedronObject(int id, const std::string& name);

/// A 3MF model part in unit ("millimeter", "centimeter", ...) with the given resource and
/// build item elements.
std::string modelXml(const std::string& unit, const std::string& resources,
                     const std::string& build);

}  // namespace tessera::test
