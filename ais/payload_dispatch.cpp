#include <cstdint>

#include "ais/decoders.h"
#include "ais/payload_bits.h"

namespace vf::ais {
namespace {

constexpr size_t kShortestPayload = 7;  // the message id and the whole MMSI
constexpr int kMostFillBits = 5;

// '0' to 'W' and '`' to 'w'. Every character is looked at without a branch
// each: payloads are short, and nearly all of them are armoured whole.
bool IsArmoured(std::string_view payload) {
  unsigned outside = 0;
  for (const char ch : payload) {
    const auto code = static_cast<uint8_t>(ch);
    outside |= static_cast<unsigned>(static_cast<uint8_t>(code - '0') >= 40) &
               static_cast<unsigned>(static_cast<uint8_t>(code - '`') >= 24);
  }
  return outside == 0;
}

DecodedRecord Rejected(Rejection why) {
  DecodedRecord rejected;
  rejected.rejection = why;
  return rejected;
}

DecodedRecord Dispatch(const PayloadReader& bits, char type, bool allTypes) {
  // The first character carries the type: '1' is type 1, 'H' type 24.
  switch (type) {
    case '1':
    case '2':
    case '3':
      return DecodePositionReport(bits);
    case '4':
      return DecodeBaseStationReport(bits);
    case '5':
      return DecodeStaticVoyageData(bits);
    case 'B':
      return DecodeClassBPosition(bits);
    case 'H':
      return DecodeClassBStatic(bits);
    case '9':
      return allTypes ? DecodeSarAircraftReport(bits) : DecodedRecord{};
    case 'C':
      return allTypes ? DecodeExtendedClassB(bits) : DecodedRecord{};
    case 'E':
      return allTypes ? DecodeAidToNavigation(bits) : DecodedRecord{};
    case 'K':
      return allTypes ? DecodeLongRangePosition(bits) : DecodedRecord{};
    default:
      return {};  // type 0, types without a decoder, and characters that are no type
  }
}

}  // namespace

DecodedRecord DecodeAisPayload(std::string_view payload, const PayloadRules& rules) {
  if (!rules.wholeBits) {
    if (payload.size() < kShortestPayload || ExtractBits(payload, kMmsiField) == 0) return {};
    return Dispatch(PayloadReader::Literal(payload), payload[0], rules.allTypes);
  }
  if (!IsArmoured(payload)) return Rejected(Rejection::kBadCharacter);
  const uint64_t armouredBits = uint64_t{payload.size()} * 6;
  if (rules.fillBits < 0 || rules.fillBits > kMostFillBits || static_cast<uint64_t>(rules.fillBits) > armouredBits) {
    return Rejected(Rejection::kBadFillBits);
  }
  const PayloadReader bits(payload, static_cast<uint32_t>(armouredBits - static_cast<uint64_t>(rules.fillBits)), true);
  if (bits.BitCount() < uint32_t{kMmsiField.first} + kMmsiField.length) {
    return Rejected(payload.empty() ? Rejection::kNotDecoded : Rejection::kCutShort);
  }
  if (bits.Unsigned(kMmsiField) == 0) return {};
  DecodedRecord decoded = Dispatch(bits, payload[0], rules.allTypes);
  if (bits.CutShort()) return Rejected(Rejection::kCutShort);  // its record goes with `decoded`
  return decoded;
}

}  // namespace vf::ais
