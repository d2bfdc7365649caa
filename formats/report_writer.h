#pragma once

#include <string>
#include <vector>

#include "model/packing_system.h"

namespace tessera {

// Both reports measure the layout held in `parts`: the container's box is recomputed from its
// vertices (and stored); the packing height is the highest part top over the container's
// bottom, never below 0, parked parts included; the density is
// volume / (height * length * width) * 100. A density that is not a number (no parts: 0/0)
// is always written "nan", whatever sign the division produced.
//
// The lines are returned in UTF-8, without line ends, for the caller to show on the console;
// the file receives the same lines in GBK, each ended by a newline. The file is replaced
// atomically; when it cannot be written InputError("report file open error!") is thrown
// (standard error) and the old file is left as it was.

/// "Calculating Time:" (the computing-time text), volume, length, width, height, density.
std::vector<std::string> writeFinalReport(PackingSystem& system,
                                          const std::string& fileName = "report.txt");

/// Volume, length, width, height, density, "Iteration Number:", "Computing time:" in seconds.
std::vector<std::string> writeInterimReport(PackingSystem& system, const std::string& fileName,
                                            int iterationNumber, double seconds);

/// The lines of the two reports, without writing anything.
std::vector<std::string> finalReportLines(PackingSystem& system);
std::vector<std::string> interimReportLines(PackingSystem& system, int iterationNumber,
                                            double seconds);

}  // namespace tessera
