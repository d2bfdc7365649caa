#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

// The layout file of poses: a layout no packing sequence describes (the squeeze's), part by
// part, so that a later run resumes from it or writes its outputs again. Plain records: what a
// pose means is the reader's business.
namespace tessera {

/// Where a run keeps the lowest layout of poses it found, in the project's folder.
inline constexpr const char* kPoseFileName = "ID_Pose_LayoutForPack.txt";
/// What a pause adds to the name it was given for its own copy.
inline constexpr const char* kPoseFilePauseSuffix = "_ID_Pose_LayoutForPack.txt";

/// One part: its file geometry turned by orientation of the project's table, then moved.
struct PoseRecord {
  int part = 0;
  std::string partFile;  // the part's file as the project names it
  int orientation = 0;
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  int line = 0;  // 1-based line it was read from; 0 for a record not read

  friend bool operator==(const PoseRecord&, const PoseRecord&) = default;
};

/// The lines of the header, after the first, fixed so that messages can name them.
enum PoseFileLine { kPartCountLine = 2, kRNLine = 3, kOrientationCountLine = 4, kHeightLine = 5 };

struct PoseFile {
  int partCount = 0;
  int RN = 0;
  int orientationCount = 0;
  double height = 0.0;            // the layout's packing height
  std::vector<PoseRecord> poses;  // part 0, 1, ... in order

  friend bool operator==(const PoseFile&, const PoseFile&) = default;
};

/// "Optimal PoseLayoutForPack", "Part Count=" n, "RN=" RN, "Orientation Count=" k,
/// "Packing Height=" h, then per part `id,"part file",orientation,x,y,z`, then "#FileEnd".
/// Every double in %.17g, which reads back as the same value bit for bit.
void writePoseFile(std::ostream& out, const PoseFile& file);

/// Replaces path atomically; throws InputError naming it when it cannot be written, the old
/// file then left as it was.
void writePoseFile(const std::string& path, const PoseFile& file);

/// Reads what writePoseFile writes (lines end in LF or CR LF; what follows "#FileEnd" is not
/// read). Throws InputError naming path and line for a wrong first line, a header line without
/// its label or whole number, a count below 0, a height or coordinate that is no finite
/// number, a part line of another form or whose id is not the next one, a part count other
/// than the number of part lines, and a file that ends before "#FileEnd".
PoseFile readPoseFile(std::istream& in, const std::string& path);

/// Opens and reads path (see above); a file that cannot be opened is refused as such.
PoseFile readPoseFile(const std::string& path);

}  // namespace tessera
