#pragma once

#include <vector>

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/polyhedron.h"
#include "model/project.h"
#include "search/optimizer.h"

// A job of several builds, and fillers. A sequence of the job's parts is laid out build by
// build: the first build places the sequence in a container of the build height, the parts
// that found no place there go on, in sequence order, into the next build, and so on. Fillers
// are copies of a part type added after the others into the room they leave.
namespace tessera {

/// The box container cut to the given height over its floor: every corner above
/// boxMin.z + height is lowered to it (for a box, the box of that height).
Polyhedron containerOfHeight(const Polyhedron& container, double height);

/// The project with the given parts only, in container: for each of jobIds (ids of project,
/// in non-increasing volume, e.g. ascending ids) a part of the same part file, parked anew and
/// numbered by its place in the list. Part types, sources, PBSL, RN and the orientation
/// table are the project's.
Project projectOfParts(const Project& project, const Polyhedron& container,
                       const std::vector<int>& jobIds);

/// The project without the parts of the given types (fillers): the one the search orders.
Project projectWithoutTypes(const Project& project, const std::vector<int>& types);

/// One build of a job: its parts by their ids in the job's project, in placement order, with
/// where each stands.
struct Build {
  std::vector<int> jobIds;
  std::vector<PartPlacement> placements;  // parallel to jobIds
};

/// The builds of a sequence of the job's ids, as the evaluator lays them out in
/// buildContainer. Every part of the job is placed in exactly one build. A part that finds no
/// place in an empty build throws InputError (the run's start refuses such parts first).
std::vector<Build> layoutBuilds(const Project& job, const Polyhedron& buildContainer,
                                const PackingSequence& sequence, const Evaluator& evaluator);

/// The builds stacked into one layout of the job: build k (from 0) raised by k times the build
/// height, so that its packing height is (b - 1) times the build height plus the last build's
/// height. A layout of fewer builds is always lower, and among equal counts the lower last
/// build wins: the search's measure.
Layout stackedLayout(const Project& job, const std::vector<Build>& builds, double buildHeight);

/// An evaluator of the job's sequences that lays out builds with base and returns them
/// stacked.
Evaluator buildsEvaluator(Evaluator base, const Polyhedron& buildContainer);

/// One build as a project of its own parts, and its layout there.
struct BuildLayout {
  Project project;
  Layout layout;
  PackingSequence sequence;       // the project's ids in placement order
  std::vector<int> fillerCopies;  // by part type: the copies filling added
};
BuildLayout buildLayoutOf(const Project& job, const Polyhedron& buildContainer, const Build& build);

/// Adds to the build as many copies of part type `type` (with a part file among the
/// project's sources) as the evaluator places after its parts with their tops at most limit
/// above the container's floor; returns how many. The build's parts are laid out again
/// first, in their order, as before. Copies placed higher are left out, as are those beyond
/// maxCopies; a copy that fits nowhere ends the filling.
int fillBuild(BuildLayout& build, int type, double limit, const Evaluator& evaluator,
              int maxCopies = 1000000);

}  // namespace tessera
