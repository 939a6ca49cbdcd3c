// Message 27: position report for long-range applications (class A,
// received by satellite), positions to a tenth of a minute.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kPositionAccuracy{38, 1};  // not read
constexpr BitField kRaim{39, 1};              // not read
constexpr BitField kNavigationalStatus{40, 4};
constexpr BitField kLongitude{44, 18};        // 1/10 minute
constexpr BitField kLatitude{62, 17};         // 1/10 minute
constexpr BitField kSpeedOverGround{79, 6};   // whole knots
constexpr BitField kCourseOverGround{85, 9};  // whole degrees

static_assert(Adjacent(kMmsiField, kPositionAccuracy) && Adjacent(kPositionAccuracy, kRaim) &&
              Adjacent(kRaim, kNavigationalStatus) && Adjacent(kNavigationalStatus, kLongitude) &&
              Adjacent(kLongitude, kLatitude) && Adjacent(kLatitude, kSpeedOverGround) &&
              Adjacent(kSpeedOverGround, kCourseOverGround));

}  // namespace

DecodedRecord DecodeLongRangePosition(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassA);
  if (!record) return {};
  record->m_nNavStatus = static_cast<int32_t>(bits.Unsigned(kNavigationalStatus));
  record->m_dLongitude = MinutesTenthsToDegrees(bits.Signed(kLongitude));
  record->m_dLatitude = MinutesTenthsToDegrees(bits.Signed(kLatitude));
  record->m_dSpeed = bits.Unsigned(kSpeedOverGround);
  record->m_dCourse = bits.Unsigned(kCourseOverGround);
  return {std::move(record), kContentsLongRange};
}

}  // namespace vf::ais
