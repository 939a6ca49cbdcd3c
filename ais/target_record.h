// Making a target record of the reporting station, and the field blocks that
// several messages share.
#pragma once

#include <memory>

#include "ais/payload_bits.h"
#include "ais_plugin.h"

namespace vf::ais {

using TargetRecord = std::unique_ptr<CRawDataAis>;

// A new record of the reporting station, or nothing when it cannot be made.
// (A message of MMSI 0 never gets here: the dispatcher drops it.)
TargetRecord NewTargetRecord(const PayloadReader& bits, AisStationClass stationClass);

// The reference point's distances to bow, stern, port and starboard, in
// metres: four fields of 9, 9, 6 and 6 bits one after the other.
struct DimensionFields {
  BitField toBow, toStern, toPort, toStarboard;
  constexpr BitField last() const { return toStarboard; }
};
constexpr DimensionFields DimensionsAt(uint16_t first) {
  return {{first, 9}, {static_cast<uint16_t>(first + 9), 9}, {static_cast<uint16_t>(first + 18), 6},
          {static_cast<uint16_t>(first + 24), 6}};
}
void ReadDimensions(const PayloadReader& bits, const DimensionFields& fields, CRawDataAis& record);

// Longitude and latitude in 1/10000 minute, signed.
void ReadPosition(const PayloadReader& bits, BitField longitude, BitField latitude, CRawDataAis& record);

}  // namespace vf::ais
