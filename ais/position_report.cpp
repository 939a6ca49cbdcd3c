// Messages 1, 2 and 3: position report of a class A station.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kNavigationalStatus{38, 4};
constexpr BitField kRateOfTurn{42, 8};  // not read
constexpr BitField kSpeedOverGround{50, 10};
constexpr BitField kPositionAccuracy{60, 1};  // not read
constexpr BitField kLongitude{61, 28};
constexpr BitField kLatitude{89, 27};
constexpr BitField kCourseOverGround{116, 12};

static_assert(Adjacent(kMmsiField, kNavigationalStatus) && Adjacent(kNavigationalStatus, kRateOfTurn) &&
              Adjacent(kRateOfTurn, kSpeedOverGround) && Adjacent(kSpeedOverGround, kPositionAccuracy) &&
              Adjacent(kPositionAccuracy, kLongitude) && Adjacent(kLongitude, kLatitude) &&
              Adjacent(kLatitude, kCourseOverGround));

}  // namespace

DecodedRecord DecodePositionReport(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassA);
  if (!record) return {};
  record->m_nNavStatus = static_cast<int32_t>(bits.Unsigned(kNavigationalStatus));
  record->m_dSpeed = TenthsToUnits(bits.Unsigned(kSpeedOverGround));
  ReadPosition(bits, kLongitude, kLatitude, *record);
  record->m_dCourse = TenthsToUnits(bits.Unsigned(kCourseOverGround));
  return {std::move(record), kContentsPosition};
}

}  // namespace vf::ais
