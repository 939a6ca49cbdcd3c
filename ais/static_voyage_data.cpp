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
constexpr DimensionFields kDimensions = DimensionsAt(240);
constexpr BitField kFixingDeviceEtaDraught{270, 32};  // not read
constexpr BitField kDestination{302, 120};

static_assert(Adjacent(kMmsiField, kAisVersion) && Adjacent(kAisVersion, kImoNumber) &&
              Adjacent(kImoNumber, kCallSign) && Adjacent(kCallSign, kName) && Adjacent(kName, kShipType) &&
              Adjacent(kShipType, kDimensions.toBow) && Adjacent(kDimensions.last(), kFixingDeviceEtaDraught) &&
              Adjacent(kFixingDeviceEtaDraught, kDestination));

}  // namespace

DecodedRecord DecodeStaticVoyageData(const PayloadReader& bits) {
  TargetRecord record = NewTargetRecord(bits, kClassA);
  if (!record) return {};
  bits.Text(kCallSign, record->m_strCallSign);
  bits.Text(kName, record->m_strName);
  bits.Text(kDestination, record->m_strDestination);
  record->m_nShipType = static_cast<int32_t>(bits.Unsigned(kShipType));
  ReadDimensions(bits, kDimensions, *record);
  return {std::move(record), kContentsStaticVoyage};
}

}  // namespace vf::ais
