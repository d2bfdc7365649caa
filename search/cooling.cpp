#include "search/cooling.h"

#include <cmath>

namespace tessera {

Cooling::Cooling(CoolingSchedule schedule, double start, int planned)
    : schedule_(schedule), temperature_(start), change_(0.0) {
  switch (schedule) {
    case CoolingSchedule::Linear:
      change_ = start / planned;
      break;
    case CoolingSchedule::Geometric:
      change_ = planned > 1 ? std::pow(1.0 / planned, 1.0 / (planned - 1)) : 1.0;
      break;
    case CoolingSchedule::Constant:
      break;
  }
}

Cooling Cooling::restored(CoolingSchedule schedule, double temperature, double change) {
  Cooling cooling(CoolingSchedule::Constant, temperature, 1);
  cooling.schedule_ = schedule;
  cooling.change_ = change;
  return cooling;
}

void Cooling::next() {
  switch (schedule_) {
    case CoolingSchedule::Linear:
      temperature_ = temperature_ - change_;
      break;
    case CoolingSchedule::Geometric:
      temperature_ = temperature_ * change_;
      break;
    case CoolingSchedule::Constant:
      break;
  }
}

}  // namespace tessera
