// Message 24: static data report in two independent parts, one record each.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kPartNumber{38, 2};
constexpr uint32_t kPartA = 0;
constexpr uint32_t kPartB = 1;

// Part A
constexpr BitField kName{40, 120};

// Part B
constexpr BitField kShipType{40, 8};
constexpr BitField kVendorId{48, 42};  // not read
constexpr BitField kCallSign{90, 42};
constexpr DimensionFields kDimensions = DimensionsAt(132);

static_assert(Adjacent(kMmsiField, kPartNumber) && Adjacent(kPartNumber, kName));
static_assert(Adjacent(kPartNumber, kShipType) && Adjacent(kShipType, kVendorId) && Adjacent(kVendorId, kCallSign) &&
              Adjacent(kCallSign, kDimensions.toBow));

}  // namespace

DecodedRecord DecodeClassBStatic(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassB);
  if (!record) return {};
  switch (bits.Unsigned(kPartNumber)) {
    case kPartA:
      bits.Text(kName, record->m_strName);
      return {std::move(record), kContentsStaticPartA};
    case kPartB:
      record->m_nShipType = static_cast<int32_t>(bits.Unsigned(kShipType));
      bits.Text(kCallSign, record->m_strCallSign);
      ReadDimensions(bits, kDimensions, *record);
      return {std::move(record), kContentsStaticPartB};
    default: {
      DecodedRecord handled;  // parts 2 and 3 are reserved: no record, and nothing wrong
      handled.rejection = Rejection::kNothingToRecord;
      return handled;
    }
  }
}

}  // namespace vf::ais
