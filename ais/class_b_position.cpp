// Message 18: standard class B equipment position report.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kRegionalReserved{38, 8};  // not read
constexpr BitField kSpeedOverGround{46, 10};
constexpr BitField kPositionAccuracy{56, 1};  // not read
constexpr BitField kLongitude{57, 28};
constexpr BitField kLatitude{85, 27};
constexpr BitField kCourseOverGround{112, 12};

static_assert(Adjacent(kMmsiField, kRegionalReserved) && Adjacent(kRegionalReserved, kSpeedOverGround) &&
              Adjacent(kSpeedOverGround, kPositionAccuracy) && Adjacent(kPositionAccuracy, kLongitude) &&
              Adjacent(kLongitude, kLatitude) && Adjacent(kLatitude, kCourseOverGround));

}  // namespace

DecodedRecord DecodeClassBPosition(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassB);
  if (!record) return {};
  ReadPosition(bits, kLongitude, kLatitude, *record);
  record->m_dCourse = TenthsToUnits(bits.Unsigned(kCourseOverGround));
  record->m_dSpeed = TenthsToUnits(bits.Unsigned(kSpeedOverGround));
  return {std::move(record), kContentsClassBPosition};
}

}  // namespace vf::ais
