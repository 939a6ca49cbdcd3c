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
constexpr BitField kDimensionToBow{219, 9};
constexpr BitField kDimensionToStern{228, 9};
constexpr BitField kDimensionToPort{237, 6};
constexpr BitField kDimensionToStarboard{243, 6};
constexpr BitField kFixType{249, 4};        // not read
constexpr BitField kTimeStamp{253, 6};      // not read
constexpr BitField kOffPosition{259, 1};    // not read
constexpr BitField kRegional{260, 8};       // not read
constexpr BitField kRaim{268, 1};           // not read
constexpr BitField kVirtualAid{269, 1};     // not read
constexpr BitField kAssigned{270, 1};       // not read
constexpr BitField kSpare{271, 1};          // not read
constexpr uint32_t kNameExtensionFirstBit = 272;  // 0 to 84 bits, whole characters, to the end
constexpr uint32_t kLongestNameExtension = 84;

static_assert(Adjacent(kMmsiField, kAidType) && Adjacent(kAidType, kName) && Adjacent(kName, kPositionAccuracy) &&
              Adjacent(kPositionAccuracy, kLongitude) && Adjacent(kLongitude, kLatitude) &&
              Adjacent(kLatitude, kDimensionToBow) && Adjacent(kDimensionToBow, kDimensionToStern) &&
              Adjacent(kDimensionToStern, kDimensionToPort) && Adjacent(kDimensionToPort, kDimensionToStarboard) &&
              Adjacent(kDimensionToStarboard, kFixType) && Adjacent(kFixType, kTimeStamp) &&
              Adjacent(kTimeStamp, kOffPosition) && Adjacent(kOffPosition, kRegional) && Adjacent(kRegional, kRaim) &&
              Adjacent(kRaim, kVirtualAid) && Adjacent(kVirtualAid, kAssigned) && Adjacent(kAssigned, kSpare) &&
              kSpare.first + kSpare.length == kNameExtensionFirstBit);

}  // namespace

DecodedRecord DecodeAidToNavigation(std::string_view payload) {
  TargetRecord record = NewTargetRecord(payload, kClassAidToNavigation);
  if (!record) return {};
  record->m_nShipType = static_cast<int32_t>(ExtractBits(payload, kAidType));
  GetSixBitText(payload, kName, record->m_strName);
  const uint64_t payloadBits = uint64_t{payload.size()} * 6;
  if (payloadBits > kNameExtensionFirstBit) {
    const auto extension = static_cast<uint32_t>(payloadBits - kNameExtensionFirstBit);
    GetSixBitText(payload, kNameExtensionFirstBit, extension < kLongestNameExtension ? extension : kLongestNameExtension,
                  record->m_strName);
  }
  record->m_dLongitude = MinutesTenThousandthsToDegrees(ExtractSignedBits(payload, kLongitude));
  record->m_dLatitude = MinutesTenThousandthsToDegrees(ExtractSignedBits(payload, kLatitude));
  record->m_dToBow = ExtractBits(payload, kDimensionToBow);
  record->m_dToStern = ExtractBits(payload, kDimensionToStern);
  record->m_dToPort = ExtractBits(payload, kDimensionToPort);
  record->m_dToStarboard = ExtractBits(payload, kDimensionToStarboard);
  return {std::move(record), kContentsAidToNavigation};
}

}  // namespace vf::ais
