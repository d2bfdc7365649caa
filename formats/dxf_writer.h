#pragma once

#include <ostream>
#include <string>

#include "model/layout.h"
#include "model/project.h"

namespace tessera {

/// The layout as an ASCII DXF ENTITIES section: one LINE per container edge on layer 1, then
/// for every part in id order, where the layout has it, one 3DFACE per face on layer
/// typeIndex + 3 of its part type.
/// A 3DFACE's fourth corner is the face's fourth corner when it has exactly four, else its
/// third corner again (faces of more than four corners are drawn as their first triangle).
void writeLayoutDxf(std::ostream& out, const Project& project, const Layout& layout);

/// Replaces fileName with the drawing, atomically. Throws InputError (warning box) when the
/// file cannot be written; the old file is then left as it was.
void writeLayoutDxf(const Project& project, const Layout& layout, const std::string& fileName);

}  // namespace tessera
