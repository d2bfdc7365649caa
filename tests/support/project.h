#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/project.h"

// Small projects and scratch folders for the tests of sequences and output files.
namespace tessera::test {

/// copies[t] parts of type t, type t named "T<t>"; every part a unit cube with volume 1; ids
/// 0, 1, ... by type, then by copy; in a 10 x 10 x 10 container, PBSL 1, RN 1 (no
/// orientation table).
Project projectWithTypes(const std::vector<int>& copies);

/// An empty folder of its own under the system's temporary folder, removed with everything in
/// it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path(const std::string& name) const { return folder_ + "/" + name; }
  /// Names of the entries of the folder, sorted.
  std::vector<std::string> entries() const;

 private:
  std::string folder_;
};

/// A polyhedron file of the box (0,0,0)-(dx,dy,dz) under name, its faces turned outwards and
/// its edge list empty, declaring volume (the box's own when empty).
std::string boxFileText(const std::string& name, double dx, double dy, double dz,
                        const std::string& volume = "");

/// Every file and folder below folder by its relative path: a file with its bytes, a folder
/// as "(folder)".
std::map<std::string, std::string> filesIn(const std::string& folder);

/// The whole file as bytes; empty when it cannot be read.
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

}  // namespace tessera::test
