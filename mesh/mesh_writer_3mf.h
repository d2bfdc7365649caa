#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "mesh/mesh_writer.h"

namespace tessera {

/// One file inside a zip package, by its name there.
struct PackagePart {
  std::string name;
  std::string bytes;
};

/// The model part of a 3MF package: every object a triangle mesh in millimetres, named, and
/// placed once in the build without a transform. Coordinates carry 17 significant digits.
/// Names become UTF-8 as XML needs it: bytes that are not UTF-8 become '?'.
void write3mfModel(std::ostream& out, const std::vector<MeshObject>& objects);

/// A whole 3MF file: content types, package relationships and the model part, deflated into a
/// zip whose entries all carry one fixed time, so the same objects give the same bytes.
/// Throws std::runtime_error when libzip fails (exhausted memory only).
std::string threeMfPackage(const std::vector<MeshObject>& objects);
/// The same package around a model part given as its XML text.
std::string threeMfPackage(std::string model);

/// The files of a zip package in archive order.
/// Throws std::runtime_error for bytes that are not a consistent zip archive.
std::vector<PackagePart> readZipPackage(const std::string& bytes);

/// Where the model part stands in every 3MF package this system writes.
inline constexpr const char* k3mfModelPath = "3D/3dmodel.model";

}  // namespace tessera
