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
constexpr BitField kDimensionToBow{132, 9};
constexpr BitField kDimensionToStern{141, 9};
constexpr BitField kDimensionToPort{150, 6};
constexpr BitField kDimensionToStarboard{156, 6};

static_assert(Adjacent(kMmsiField, kPartNumber) && Adjacent(kPartNumber, kName));
static_assert(Adjacent(kPartNumber, kShipType) && Adjacent(kShipType, kVendorId) && Adjacent(kVendorId, kCallSign) &&
              Adjacent(kCallSign, kDimensionToBow) && Adjacent(kDimensionToBow, kDimensionToStern) &&
              Adjacent(kDimensionToStern, kDimensionToPort) && Adjacent(kDimensionToPort, kDimensionToStarboard));

}  // namespace

DecodedRecord DecodeClassBStatic(std::string_view payload) {
  TargetRecord record = NewTargetRecord(payload, kClassB);
  if (!record) return {};
  switch (ExtractBits(payload, kPartNumber)) {
    case kPartA:
      GetSixBitText(payload, kName, record->m_strName);
      return {std::move(record), kContentsStaticPartA};
    case kPartB:
      record->m_nShipType = static_cast<int32_t>(ExtractBits(payload, kShipType));
      GetSixBitText(payload, kCallSign, record->m_strCallSign);
      record->m_dToBow = ExtractBits(payload, kDimensionToBow);
      record->m_dToStern = ExtractBits(payload, kDimensionToStern);
      record->m_dToPort = ExtractBits(payload, kDimensionToPort);
      record->m_dToStarboard = ExtractBits(payload, kDimensionToStarboard);
      return {std::move(record), kContentsStaticPartB};
    default:
      return {};  // parts 2 and 3 are reserved: dropped without a record
  }
}

}  // namespace vf::ais
