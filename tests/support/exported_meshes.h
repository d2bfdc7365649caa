#pragma once

#include <string>
#include <vector>

#include "mesh/mesh_writer.h"

// Exported mesh files read back object by object, with their numbers parsed exactly. The
// readers are deliberately plain: they check what a file says, not how our writers work.
namespace tessera::test {

/// "o" groups of an OBJ file; face indices become indices into the group's own vertices.
std::vector<MeshObject> objectsOfObj(const std::string& text);

/// Solids of an ASCII STL file; every facet has three vertices of its own.
std::vector<MeshObject> objectsOfStl(const std::string& text);

/// Objects of the model part of a 3MF package, in resource order; fails the test when the
/// package has no model part or its build does not place every object once.
std::vector<MeshObject> objectsOf3mf(const std::string& packageBytes);

/// Total area of the faces, each taken as a fan from its first corner, without sign.
double unsignedArea(const MeshObject& object);

/// Volume enclosed by the faces (positive when they face outward).
double volumeOf(const MeshObject& object);

}  // namespace tessera::test
