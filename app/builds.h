#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "model/packing_sequence.h"
#include "model/polyhedron.h"
#include "model/project.h"
#include "platform/console.h"
#include "search/builds.h"
#include "search/layout_files.h"
#include "search/optimizer.h"

// A run of a job: several builds (--max-height) or fillers, or both. The search orders the
// parts that are not fillers; each of its layouts is the builds stacked (search/builds.h).
// At the end every build gets its own report, drawing, picture, page and export, and the
// fillers are added to the last build.
namespace tessera {

struct JobPlan {
  std::optional<double> buildHeight;  // --max-height, at most the container's height
  Polyhedron buildContainer;          // the container cut to the build height
  std::vector<int> fillerTypes;       // part types marked filler, in project-file order
  Project searchProject;              // the project without the fillers' parts
};

/// Whether the run is a job: --max-height given, or a filler among the project's part types.
bool isJob(const Arguments& arguments, const Project& project);

/// The plan of a job whose project passed the run's checks. Refuses (InputError naming the
/// project, status 1) a container that is not a box with --max-height, a project of fillers
/// only and, when evaluator is given, a part that the evaluator places in no empty build
/// and fillers for which the start layout (the identity sequence) leaves no room. A build
/// height above the container's is lowered to it, with a note on console when given.
JobPlan planJob(const Arguments& arguments, const Project& project, const std::string& projectPath,
                const Evaluator* evaluator, platform::Console* console);

/// The search's evaluator for the job's sequences (of searchProject).
Evaluator jobEvaluator(const JobPlan& plan, Evaluator base);

/// The search's evaluator and its chains' evaluators as jobEvaluator makes them.
void useJobEvaluators(const JobPlan& plan, SearchOptions& options);

/// The builds of a sequence of searchProject as base lays them out, each filled: every
/// build up to its own parts' height, the last one up to the build height when there is one.
/// Without a build height: one build in the project's container. maxCopies bounds each
/// filling.
std::vector<BuildLayout> jobLayout(const JobPlan& plan, const PackingSequence& sequence,
                                   const Evaluator& base, int maxCopies = 1000000);

/// Writes every build's files (with a build height: named by buildFileName, else under the
/// run's own names) and the job's report (report.txt) and shows the summary on the console.
void writeJobFiles(const JobPlan& plan, const std::vector<BuildLayout>& builds,
                   const std::string& computingTimeText, const std::vector<ExtraLayoutFile>& extras,
                   platform::Console& console);

}  // namespace tessera
