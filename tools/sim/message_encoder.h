// The payloads a station broadcasts, built field by field from the tables of
// ITU-R M.1371; each returns the armoured payload and its fill bits.
#pragma once

#include <cstdint>
#include <string>

#include "vessel.h"

namespace vf::sim {

struct EncodedPayload {
  std::string armoured;
  unsigned fillBits = 0;
};

// UTC of the broadcast, for the time fields.
struct UtcTime {
  int year = 2026, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

EncodedPayload EncodePositionReport(const Vessel& vessel, unsigned messageType, const UtcTime& utc);  // 1, 2, 3
EncodedPayload EncodeBaseStationReport(const Vessel& station, const UtcTime& utc);                   // 4
EncodedPayload EncodeStaticVoyageData(const Vessel& vessel);                                         // 5
EncodedPayload EncodeClassBPosition(const Vessel& vessel, const UtcTime& utc);                       // 18
EncodedPayload EncodeClassBStatic(const Vessel& vessel, unsigned part);                              // 24 A (0), B (1)

}  // namespace vf::sim
