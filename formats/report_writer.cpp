#include "formats/report_writer.h"

#include <cmath>
#include <limits>

#include "formats/atomic_file.h"
#include "formats/number_format.h"
#include "model/input_error.h"
#include "platform/encoding.h"

namespace tessera {
namespace {

/// The measured values shared by both reports, as they are printed.
std::vector<std::string> measuredLines(PackingSystem& system) {
  Polyhedron& container = system.container;
  if (container.vertexCount() > 0) container.computeBoundingBox();
  const double length = container.boxMax.x - container.boxMin.x;
  const double width = container.boxMax.y - container.boxMin.y;
  double volume = 0.0;
  double top = container.boxMin.z;
  for (const Part& part : system.parts) {
    volume += part.volume;
    if (part.boxMax.z > top) top = part.boxMax.z;
  }
  const double height = top - container.boxMin.z;
  double density = volume / (height * length * width) * 100;
  // 0/0 yields a NaN whose sign depends on how the division was compiled; print it one way.
  if (std::isnan(density)) density = std::numeric_limits<double>::quiet_NaN();
  return {"Volume of All Parts:" + formatNumber(volume),
          "Length of Container:" + formatNumber(length),
          "Width of Container:" + formatNumber(width), "Packing Height:" + formatNumber(height),
          "Packing Density:" + formatNumber(density) + "%"};
}

void writeReport(const std::vector<std::string>& lines, const std::string& fileName) {
  AtomicFile file(fileName);
  for (const std::string& line : lines) file.stream() << platform::utf8ToGbk(line) << '\n';
  if (!file.commit())
    throw InputError("report file open error!", InputError::Channel::StandardError);
}

}  // namespace

std::vector<std::string> finalReportLines(PackingSystem& system) {
  std::vector<std::string> lines = measuredLines(system);
  lines.insert(lines.begin(), "Calculating Time:" + system.computingTimeText);
  return lines;
}

std::vector<std::string> interimReportLines(PackingSystem& system, int iterationNumber,
                                            double seconds) {
  std::vector<std::string> lines = measuredLines(system);
  lines.push_back("Iteration Number:" + std::to_string(iterationNumber));
  lines.push_back("Computing time:" + formatNumber(seconds) + " s");
  return lines;
}

std::vector<std::string> writeFinalReport(PackingSystem& system, const std::string& fileName) {
  std::vector<std::string> lines = finalReportLines(system);
  writeReport(lines, fileName);
  return lines;
}

std::vector<std::string> writeInterimReport(PackingSystem& system, const std::string& fileName,
                                            int iterationNumber, double seconds) {
  std::vector<std::string> lines = interimReportLines(system, iterationNumber, seconds);
  writeReport(lines, fileName);
  return lines;
}

}  // namespace tessera
