// Message 21: aid-to-navigation report.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kAidType{38, 5};
constexpr BitField kName{43, 120};
constexpr BitField kPositionAccuracy{163, 1};  // not read
constexpr BitField kLongitude{164, 28};
constexpr BitField kLatitude{192, 27};
constexpr DimensionFields kDimensions = DimensionsAt(219);
constexpr BitField kFixType{249, 4};        // not read
constexpr BitField kTimeStamp{253, 6};      // not read
constexpr BitField kOffPosition{259, 1};    // not read
constexpr BitField kRegional{260, 8};       // not read
constexpr BitField kRaim{268, 1};           // not read
constexpr BitField kVirtualAid{269, 1};     // not read
constexpr BitField kAssigned{270, 1};       // not read
constexpr BitField kSpare{271, 1};          // not read
constexpr uint16_t kNameExtensionFirstBit = 272;  // 0 to 84 bits, whole characters, to the end
constexpr uint16_t kLongestNameExtension = 84;

static_assert(Adjacent(kMmsiField, kAidType) && Adjacent(kAidType, kName) && Adjacent(kName, kPositionAccuracy) &&
              Adjacent(kPositionAccuracy, kLongitude) && Adjacent(kLongitude, kLatitude) &&
              Adjacent(kLatitude, kDimensions.toBow) && Adjacent(kDimensions.last(), kFixType) && Adjacent(kFixType, kTimeStamp) &&
              Adjacent(kTimeStamp, kOffPosition) && Adjacent(kOffPosition, kRegional) && Adjacent(kRegional, kRaim) &&
              Adjacent(kRaim, kVirtualAid) && Adjacent(kVirtualAid, kAssigned) && Adjacent(kAssigned, kSpare) &&
              kSpare.first + kSpare.length == kNameExtensionFirstBit);

}  // namespace

DecodedRecord DecodeAidToNavigation(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassAidToNavigation);
  if (!record) return {};
  record->m_nShipType = static_cast<int32_t>(bits.Unsigned(kAidType));
  bits.Text(kName, record->m_strName);
  if (bits.BitCount() > kNameExtensionFirstBit) {
    const uint32_t extension = bits.BitCount() - kNameExtensionFirstBit;
    const auto length = static_cast<uint16_t>(extension < kLongestNameExtension ? extension : kLongestNameExtension);
    bits.Text({kNameExtensionFirstBit, length}, record->m_strName);
  }
  ReadPosition(bits, kLongitude, kLatitude, *record);
  ReadDimensions(bits, kDimensions, *record);
  return {std::move(record), kContentsAidToNavigation};
}

}  // namespace vf::ais
