// One simulated station: what it broadcasts about itself and where it is.
#pragma once

#include <cstdint>
#include <string>

namespace vf::sim {

enum class StationKind { kClassA, kClassB, kBaseStation };

struct Vessel {
  StationKind kind = StationKind::kClassA;
  uint32_t mmsi = 0;
  uint32_t imo = 0;
  std::string name;         // at most 20 characters
  std::string callSign;     // at most 7 characters
  std::string destination;  // at most 20 characters
  int shipType = 0;
  int toBow = 0, toStern = 0, toPort = 0, toStarboard = 0;  // metres from the position reference
  int navStatus = 0;                                        // 0 under way, 1 at anchor, 5 moored
  double latitude = 0, longitude = 0;                       // degrees, north and east positive
  double speedKnots = 0, courseDegrees = 0;
  int headingDegrees = 0;
};

}  // namespace vf::sim
