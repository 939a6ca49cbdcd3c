#include "ais/decoders.h"
#include "ais/payload_bits.h"

namespace vf::ais {
namespace {

constexpr size_t kShortestPayload = 7;  // the message id and the whole MMSI

}  // namespace

DecodedRecord DecodeAisPayload(std::string_view payload, bool allTypes) {
  if (payload.size() < kShortestPayload) return {};
  if (ExtractBits(payload, kMmsiField) == 0) return {};
  // The first character carries the type: '1' is type 1, 'H' type 24.
  switch (payload[0]) {
    case '1':
    case '2':
    case '3':
      return DecodePositionReport(payload);
    case '4':
      return DecodeBaseStationReport(payload);
    case '5':
      return DecodeStaticVoyageData(payload);
    case 'B':
      return DecodeClassBPosition(payload);
    case 'H':
      return DecodeClassBStatic(payload);
    case '9':
      return allTypes ? DecodeSarAircraftReport(payload) : DecodedRecord{};
    case 'C':
      return allTypes ? DecodeExtendedClassB(payload) : DecodedRecord{};
    case 'E':
      return allTypes ? DecodeAidToNavigation(payload) : DecodedRecord{};
    case 'K':
      return allTypes ? DecodeLongRangePosition(payload) : DecodedRecord{};
    default:
      return {};  // type 0, types without a decoder, and characters that are no type
  }
}

}  // namespace vf::ais
