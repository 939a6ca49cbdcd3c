// Message 9: standard SAR aircraft position report.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kAltitude{38, 12};  // not read
constexpr BitField kSpeedOverGround{50, 10};  // whole knots
constexpr BitField kPositionAccuracy{60, 1};  // not read
constexpr BitField kLongitude{61, 28};
constexpr BitField kLatitude{89, 27};
constexpr BitField kCourseOverGround{116, 12};

static_assert(Adjacent(kMmsiField, kAltitude) && Adjacent(kAltitude, kSpeedOverGround) &&
              Adjacent(kSpeedOverGround, kPositionAccuracy) && Adjacent(kPositionAccuracy, kLongitude) &&
              Adjacent(kLongitude, kLatitude) && Adjacent(kLatitude, kCourseOverGround));

}  // namespace

DecodedRecord DecodeSarAircraftReport(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassSarAircraft);
  if (!record) return {};
  record->m_dSpeed = bits.Unsigned(kSpeedOverGround);
  ReadPosition(bits, kLongitude, kLatitude, *record);
  record->m_dCourse = TenthsToUnits(bits.Unsigned(kCourseOverGround));
  return {std::move(record), kContentsSarAircraft};
}

}  // namespace vf::ais
