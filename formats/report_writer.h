#pragma once

#include <string>
#include <vector>

#include "model/layout.h"

namespace tessera {

// Both reports print a layout's measure: volume of all parts, the container's length and
// width, the packing height (every part counted, parked ones included) and the density
// V / (H * L * W) * 100. A density that is not a number (no parts: 0/0) is always written
// "nan", whatever sign the division produced.
//
// The lines are returned in UTF-8, without line ends, for the caller to show on the console;
// the file receives the same lines in GBK, each ended by a newline. The file is replaced
// atomically; when it cannot be written InputError("report file open error!") is thrown
// (standard error) and the old file is left as it was.

/// "Calculating Time:" (the computing-time text), volume, length, width, height, density,
/// then any further lines given.
std::vector<std::string> writeFinalReport(const LayoutMeasure& measure,
                                          const std::string& computingTimeText,
                                          const std::string& fileName = "report.txt",
                                          const std::vector<std::string>& further = {});

/// Writes the lines (UTF-8) as a report file is written.
void writeReportLines(const std::vector<std::string>& lines, const std::string& fileName);

/// Volume, length, width, height, density, "Iteration Number:", "Computing time:" in seconds.
std::vector<std::string> writeInterimReport(const LayoutMeasure& measure,
                                            const std::string& fileName, int iterationNumber,
                                            double seconds);

/// The lines of the two reports, without writing anything.
std::vector<std::string> finalReportLines(const LayoutMeasure& measure,
                                          const std::string& computingTimeText);
std::vector<std::string> interimReportLines(const LayoutMeasure& measure, int iterationNumber,
                                            double seconds);

/// The packing height and the density ("63.559%") as the reports print them.
std::string reportedHeight(const LayoutMeasure& measure);
std::string reportedDensity(const LayoutMeasure& measure);

}  // namespace tessera
