// The broadcasts of a fleet in time order, at the reporting intervals of
// ITU-R M.1371, as the NMEA sentences a receiver puts out for them.
#pragma once

#include <cstdint>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "fleet.h"

namespace vf::sim {

struct Transmission {
  double time = 0;           // simulated seconds since the start
  size_t station = 0;        // index in the fleet
  unsigned messageType = 0;  // 1, 2, 3, 4, 5, 18 or 24
  unsigned part = 0;         // message 24: 0 for part A, 1 for part B
  Vessel snapshot;           // the station as this broadcast describes it
  std::vector<std::string> sentences;  // without line ends
};

class Traffic {
 public:
  // Every station is heard within the first two seconds, as when a receiver
  // is switched on among ships already reporting.
  Traffic(size_t fleetSize, uint32_t seed, int64_t startUnixSeconds = 1'780'000'000);

  Transmission Next();
  const Fleet& Stations() const { return m_fleet; }

 private:
  enum class Report { kPosition, kStatic, kStaticPartB };
  struct Due {
    double time;
    size_t station;
    Report report;
    bool operator>(const Due& other) const { return time > other.time; }
  };

  double IntervalOf(const Vessel& vessel, Report report);
  std::vector<std::string> Sentences(const std::string& payload, unsigned fillBits);

  Fleet m_fleet;
  std::mt19937 m_random;
  std::priority_queue<Due, std::vector<Due>, std::greater<Due>> m_due;
  std::vector<unsigned> m_positionCount;
  double m_now = 0;
  int64_t m_startUnixSeconds;
  unsigned m_nextSequenceId = 0;
  unsigned m_transmissions = 0;
};

}  // namespace vf::sim
