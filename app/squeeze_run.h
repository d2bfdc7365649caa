#pragma once

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "formats/pose_file.h"
#include "model/layout.h"
#include "model/project.h"
#include "platform/console.h"
#include "search/layout_files.h"
#include "search/optimizer.h"
#include "search/search_log.h"
#include "squeeze/squeeze.h"

// The squeeze as the second phase of a run: from the greedy layout (or the layout file's) to
// the lowest layout the overlap repair finds in the time left, handed to the writers like any
// run's layout and kept in the layout file of poses as it falls.
namespace tessera {

/// Why --squeeze cannot pack the project loaded from projectPath, as a message naming it;
/// empty when it can.
std::string squeezeRefusalOf(const Project& project, const std::string& projectPath);

/// The layout of poses (one per part, by id): every part placed by posedPlacement, measured.
Layout layoutOfPoses(const Project& project, const std::vector<Pose>& poses);

/// The part files of the project at projectPath as it names them, in project-file order (the
/// order of Project::sources).
std::vector<std::string> partFilesOf(const std::string& projectPath);

/// The layout file's records of poses of the project's parts, with their packing height.
PoseFile poseFileOf(const Project& project, const std::vector<std::string>& partFiles,
                    const std::vector<Pose>& poses, double height);

/// A layout read back from a layout file of poses.
struct SavedLayout {
  std::vector<Pose> poses;  // by part id
  double height = 0.0;      // packingHeight of the poses, as the file states it
};

/// Reads the layout file path and checks it against the project before it is trusted: the
/// part count, RN and orientation count of the project, each part's file, an orientation
/// index inside the table, the stated height the poses' height, and the exact check
/// (checkLayout) finding every part inside the container and no two interfering. Throws
/// InputError naming path and the line at fault.
SavedLayout readSavedLayout(const Project& project, const std::vector<std::string>& partFiles,
                            const std::string& path);

/// How a run keeps what the squeeze finds, and what it may ask of the user meanwhile.
struct SqueezeKeeping {
  std::string poseFileName;            // the layout file of poses; empty: none is written
  std::vector<std::string> partFiles;  // as partFilesOf gives them
  // The height of the layout the file holds: only a lower feasible layout replaces it.
  double savedHeight = std::numeric_limits<double>::infinity();
  // A new best layout is saved once this many seconds have passed since the last save (at
  // once when they have), and at the end; the saves take at most saveTimeShare of the time.
  double saveEverySeconds = 30.0;
  double saveTimeShare = 0.02;
  SearchLog* log = nullptr;  // the squeeze's lines go to the log too
  // A key opens the pause dialogue (save the best layout so far under a name, or end).
  bool pauseKey = false;
  std::vector<ExtraLayoutFile> extras;      // a pause's extra files
  std::vector<std::string> protectedFiles;  // a pause's name must not replace these
};

/// The layout file of a run, read and checked (readSavedLayout) before anything is written:
/// with --layout its FILE, which must not be one of the run's outputs; with --squeeze the
/// project folder's kPoseFileName when there is one; else none. Throws InputError.
std::optional<SavedLayout> layoutFileOfRun(const Arguments& arguments, const Project& project,
                                           const std::string& projectPath);

/// How a --squeeze run keeps what it finds: the layout file, the pause with the search's
/// extras, and its names refused as the search refuses them.
SqueezeKeeping keepingOfRun(const SearchOptions& options, const std::string& projectPath);

struct SqueezeRunResult {
  Layout layout;            // the squeezed layout, or the start when the squeeze found none lower
  std::vector<Pose> poses;  // the poses of layout
  bool squeezed = false;    // layout is the squeeze's
  SqueezeProgress progress;
};

/// Squeezes start, a layout the greedy placement made, under options (a time limit or a move
/// budget); the first Ctrl-C ends it early, as it ends the annealing. Writes a console line for
/// every lower feasible height. The layout returned is start or one checkLayout accepts and
/// lower than start. The project must pass squeezeRefusalOf.
SqueezeRunResult squeezeRun(const Project& project, const Layout& start, SqueezeOptions options,
                            platform::Console& console);

/// The same from the layout of startPoses (start is their layout), keeping what it finds as
/// keeping says: saves of the layout file during the squeeze and at its end, lines in the log,
/// the pause.
SqueezeRunResult squeezeRun(const Project& project, const Layout& start,
                            const std::vector<Pose>& startPoses, SqueezeOptions options,
                            platform::Console& console, const SqueezeKeeping& keeping);

/// The squeeze of a run: from greedy, or from saved when that is lower (the log says which),
/// keeping what it finds as keeping says, its lines in the log logFileName too.
SqueezeRunResult squeezeFromStart(const Project& project, const Layout& greedy,
                                  const std::optional<SavedLayout>& saved,
                                  const SqueezeOptions& options, SqueezeKeeping keeping,
                                  const std::string& logFileName, platform::Console& console);

}  // namespace tessera
