// Message 4: base station report. The station's broadcast UTC is not taken;
// records carry the receiving side's time.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kUtcYearToSecond{38, 40};  // not read
constexpr BitField kPositionAccuracy{78, 1};  // not read
constexpr BitField kLongitude{79, 28};
constexpr BitField kLatitude{107, 27};

static_assert(Adjacent(kMmsiField, kUtcYearToSecond) && Adjacent(kUtcYearToSecond, kPositionAccuracy) &&
              Adjacent(kPositionAccuracy, kLongitude) && Adjacent(kLongitude, kLatitude));

}  // namespace

DecodedRecord DecodeBaseStationReport(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassBaseStation);
  if (!record) return {};
  ReadPosition(bits, kLongitude, kLatitude, *record);
  return {std::move(record), kContentsBaseStation};
}

}  // namespace vf::ais
