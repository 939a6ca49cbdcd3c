// Message 5: static and voyage related data of a class A station.
#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {
namespace {

constexpr BitField kAisVersion{38, 2};  // not read
constexpr BitField kImoNumber{40, 30};  // not read
constexpr BitField kCallSign{70, 42};
constexpr BitField kName{112, 120};
constexpr BitField kShipType{232, 8};
constexpr BitField kDimensionToBow{240, 9};
constexpr BitField kDimensionToStern{249, 9};
constexpr BitField kDimensionToPort{258, 6};
constexpr BitField kDimensionToStarboard{264, 6};
constexpr BitField kFixingDeviceEtaDraught{270, 32};  // not read
constexpr BitField kDestination{302, 120};

static_assert(Adjacent(kMmsiField, kAisVersion) && Adjacent(kAisVersion, kImoNumber) &&
              Adjacent(kImoNumber, kCallSign) && Adjacent(kCallSign, kName) && Adjacent(kName, kShipType) &&
              Adjacent(kShipType, kDimensionToBow) && Adjacent(kDimensionToBow, kDimensionToStern) &&
              Adjacent(kDimensionToStern, kDimensionToPort) && Adjacent(kDimensionToPort, kDimensionToStarboard) &&
              Adjacent(kDimensionToStarboard, kFixingDeviceEtaDraught) &&
              Adjacent(kFixingDeviceEtaDraught, kDestination));

}  // namespace

DecodedRecord DecodeStaticVoyageData(std::string_view payload) {
  TargetRecord record = NewTargetRecord(payload, kClassA);
  if (!record) return {};
  GetSixBitText(payload, kCallSign, record->m_strCallSign);
  GetSixBitText(payload, kName, record->m_strName);
  GetSixBitText(payload, kDestination, record->m_strDestination);
  record->m_nShipType = static_cast<int32_t>(ExtractBits(payload, kShipType));
  record->m_dToBow = ExtractBits(payload, kDimensionToBow);
  record->m_dToStern = ExtractBits(payload, kDimensionToStern);
  record->m_dToPort = ExtractBits(payload, kDimensionToPort);
  record->m_dToStarboard = ExtractBits(payload, kDimensionToStarboard);
  return {std::move(record), kContentsStaticVoyage};
}

}  // namespace vf::ais
