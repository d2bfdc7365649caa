#pragma once

#include <string>
#include <vector>

#include "app/arguments.h"
#include "app/layout_extras.h"
#include "model/project.h"
#include "platform/console.h"
#include "platform/folder_lock.h"
#include "search/chain_transport.h"

// What a run checks before it searches, so that a run that cannot finish, or whose outputs
// could not be written, is refused at start and not hours later.
namespace tessera {

/// The loaded project can be searched on this machine: a sane grid and bitmaps, slides that
/// end, memory for `copies` layouts worked on side by side, and every part fitting the
/// container in some orientation. Builds the orientation table. Large runs are described on
/// standard error. Throws InputError naming the project.
void checkProject(Project& project, const std::string& projectPath, int threads, int copies,
                  platform::Console& console);

/// Layouts this process works on side by side: the search's own, and one per chain of this
/// process when there are several chains.
int layoutCopies(const Arguments& arguments, const ChainTransport* transport);

/// More processes than chains would leave some with nothing to do; and the others cannot ask
/// for a project.
void checkProcesses(const Arguments& arguments, const ChainTransport* transport);

/// Refuses a run in a folder another run holds, or whose lock cannot be taken.
void refuseWhenBusy(const platform::FolderLock& lock);

/// Every output of the run must be creatable or replaceable before the search starts. Each
/// specified one is refused with the message its writer would give. The picture and the page
/// only add to them: one that cannot be written is named in a warning and left out of the
/// final outputs, and the run goes on. Outputs to be written in place (see AtomicFile) are
/// said once.
FinalExtras checkOutputs(const Arguments& arguments, platform::Console& console);

/// The files the run reads: the project, its container and part files and, where there is a
/// meshes manifest, the manifest and every mesh it names. No output may replace one.
std::vector<std::string> filesTheRunReads(const std::string& projectPath);

/// The export must not replace a file the run reads (a mesh the manifest names, say).
void refuseReplacingAnInput(const std::string& exportPath, const std::vector<std::string>& inputs);

/// The files this run reads or writes besides the search's own: a pause must not replace any.
std::vector<std::string> filesOfTheRun(const Arguments& arguments,
                                       const std::vector<std::string>& inputs);

}  // namespace tessera
