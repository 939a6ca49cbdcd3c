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
constexpr BitField kDimensionToBow{271, 9};
constexpr BitField kDimensionToStern{280, 9};
constexpr BitField kDimensionToPort{289, 6};
constexpr BitField kDimensionToStarboard{295, 6};

static_assert(Adjacent(kMmsiField, kRegionalReserved) && Adjacent(kRegionalReserved, kSpeedOverGround) &&
              Adjacent(kSpeedOverGround, kPositionAccuracy) && Adjacent(kPositionAccuracy, kLongitude) &&
              Adjacent(kLongitude, kLatitude) && Adjacent(kLatitude, kCourseOverGround) &&
              Adjacent(kCourseOverGround, kTrueHeading) && Adjacent(kTrueHeading, kTimeStamp) &&
              Adjacent(kTimeStamp, kRegionalReserved2) && Adjacent(kRegionalReserved2, kName) &&
              Adjacent(kName, kShipType) && Adjacent(kShipType, kDimensionToBow) &&
              Adjacent(kDimensionToBow, kDimensionToStern) && Adjacent(kDimensionToStern, kDimensionToPort) &&
              Adjacent(kDimensionToPort, kDimensionToStarboard));

}  // namespace

DecodedRecord DecodeExtendedClassB(std::string_view payload) {
  TargetRecord record = NewTargetRecord(payload, kClassB);
  if (!record) return {};
  record->m_dSpeed = TenthsToUnits(ExtractBits(payload, kSpeedOverGround));
  record->m_dLongitude = MinutesTenThousandthsToDegrees(ExtractSignedBits(payload, kLongitude));
  record->m_dLatitude = MinutesTenThousandthsToDegrees(ExtractSignedBits(payload, kLatitude));
  record->m_dCourse = TenthsToUnits(ExtractBits(payload, kCourseOverGround));
  GetSixBitText(payload, kName, record->m_strName);
  record->m_nShipType = static_cast<int32_t>(ExtractBits(payload, kShipType));
  record->m_dToBow = ExtractBits(payload, kDimensionToBow);
  record->m_dToStern = ExtractBits(payload, kDimensionToStern);
  record->m_dToPort = ExtractBits(payload, kDimensionToPort);
  record->m_dToStarboard = ExtractBits(payload, kDimensionToStarboard);
  return {std::move(record), kContentsExtendedClassB};
}

}  // namespace vf::ais
