// Message 19: extended class B equipment position report.
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
constexpr BitField kTrueHeading{124, 9};      // not read
constexpr BitField kTimeStamp{133, 6};        // not read
constexpr BitField kRegionalReserved2{139, 4};  // not read
constexpr BitField kName{143, 120};
constexpr BitField kShipType{263, 8};
constexpr DimensionFields kDimensions = DimensionsAt(271);

static_assert(Adjacent(kMmsiField, kRegionalReserved) && Adjacent(kRegionalReserved, kSpeedOverGround) &&
              Adjacent(kSpeedOverGround, kPositionAccuracy) && Adjacent(kPositionAccuracy, kLongitude) &&
              Adjacent(kLongitude, kLatitude) && Adjacent(kLatitude, kCourseOverGround) &&
              Adjacent(kCourseOverGround, kTrueHeading) && Adjacent(kTrueHeading, kTimeStamp) &&
              Adjacent(kTimeStamp, kRegionalReserved2) && Adjacent(kRegionalReserved2, kName) &&
              Adjacent(kName, kShipType) && Adjacent(kShipType, kDimensions.toBow));

}  // namespace

DecodedRecord DecodeExtendedClassB(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassB);
  if (!record) return {};
  record->m_dSpeed = TenthsToUnits(bits.Unsigned(kSpeedOverGround));
  ReadPosition(bits, kLongitude, kLatitude, *record);
  record->m_dCourse = TenthsToUnits(bits.Unsigned(kCourseOverGround));
  bits.Text(kName, record->m_strName);
  record->m_nShipType = static_cast<int32_t>(bits.Unsigned(kShipType));
  ReadDimensions(bits, kDimensions, *record);
  return {std::move(record), kContentsExtendedClassB};
}

}  // namespace vf::ais
