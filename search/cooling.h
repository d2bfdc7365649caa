#pragma once

namespace tessera {

/// How the annealing temperature falls from one iteration to the next over N planned ones.
enum class CoolingSchedule {
  Linear,     // minus start / N each iteration (repeated subtraction): start/N in iteration N
  Geometric,  // times (1/N)^(1/(N-1)) each iteration: the same end points, longer cold
  Constant,   // the start temperature throughout
};

/// The temperature of the running iteration; next() moves it to the following one.
class Cooling {
 public:
  Cooling(CoolingSchedule schedule, double start, int planned);

  double temperature() const { return temperature_; }
  void next();

  /// The state as it stands, to be sent to another process and restored there.
  CoolingSchedule schedule() const { return schedule_; }
  double change() const { return change_; }
  static Cooling restored(CoolingSchedule schedule, double temperature, double change);

 private:
  CoolingSchedule schedule_;
  double temperature_;
  double change_;  // subtracted (linear) or multiplied (geometric) after each iteration
};

/// Whether a value read from elsewhere names one of the schedules.
inline bool isCoolingSchedule(int value) {
  return value == static_cast<int>(CoolingSchedule::Linear) ||
         value == static_cast<int>(CoolingSchedule::Geometric) ||
         value == static_cast<int>(CoolingSchedule::Constant);
}

}  // namespace tessera
