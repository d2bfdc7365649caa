#include "formats/report_writer.h"

#include <cmath>
#include <limits>

#include "formats/atomic_file.h"
#include "formats/number_format.h"
#include "formats/run_files.h"
#include "model/input_error.h"
#include "platform/encoding.h"

namespace tessera {
namespace {

/// The measured values shared by both reports, as they are printed.
std::vector<std::string> measuredLines(const LayoutMeasure& measure) {
  return {"Volume of All Parts:" + formatNumber(measure.totalVolume),
          "Length of Container:" + formatNumber(measure.length),
          "Width of Container:" + formatNumber(measure.width),
          "Packing Height:" + reportedHeight(measure),
          "Packing Density:" + reportedDensity(measure)};
}

void writeReport(const std::vector<std::string>& lines, const std::string& fileName) {
  AtomicFile file(fileName);
  for (const std::string& line : lines) file.stream() << platform::utf8ToGbk(line) << '\n';
  if (!file.commit())
    throw InputError(runFile(RunFileRole::finalReport).failure, InputError::Channel::StandardError);
}

}  // namespace

void writeReportLines(const std::vector<std::string>& lines, const std::string& fileName) {
  writeReport(lines, fileName);
}

std::string reportedHeight(const LayoutMeasure& measure) { return formatNumber(measure.height()); }

std::string reportedDensity(const LayoutMeasure& measure) {
  double density = measure.densityPercent();
  // 0/0 yields a NaN whose sign depends on how the division was compiled; print it one way.
  if (std::isnan(density)) density = std::numeric_limits<double>::quiet_NaN();
  return formatNumber(density) + "%";
}

std::vector<std::string> finalReportLines(const LayoutMeasure& measure,
                                          const std::string& computingTimeText) {
  std::vector<std::string> lines = measuredLines(measure);
  lines.insert(lines.begin(), "Calculating Time:" + computingTimeText);
  return lines;
}

std::vector<std::string> interimReportLines(const LayoutMeasure& measure, int iterationNumber,
                                            double seconds) {
  std::vector<std::string> lines = measuredLines(measure);
  lines.push_back("Iteration Number:" + std::to_string(iterationNumber));
  lines.push_back("Computing time:" + formatNumber(seconds) + " s");
  return lines;
}

std::vector<std::string> writeFinalReport(const LayoutMeasure& measure,
                                          const std::string& computingTimeText,
                                          const std::string& fileName,
                                          const std::vector<std::string>& further) {
  std::vector<std::string> lines = finalReportLines(measure, computingTimeText);
  lines.insert(lines.end(), further.begin(), further.end());
  writeReport(lines, fileName);
  return lines;
}

std::vector<std::string> writeInterimReport(const LayoutMeasure& measure,
                                            const std::string& fileName, int iterationNumber,
                                            double seconds) {
  std::vector<std::string> lines = interimReportLines(measure, iterationNumber, seconds);
  writeReport(lines, fileName);
  return lines;
}

}  // namespace tessera
