// The message dispatcher and one decoder per supported message type. Each
// takes the whole armoured payload of one message and gives the record it
// built, or no record and why.
#pragma once

#include <string_view>

#include "ais/payload_bits.h"
#include "ais/target_record.h"

namespace vf::ais {

// Why a payload gave no record.
enum class Rejection : uint8_t {
  kNotDecoded,    // too short for an MMSI, MMSI 0, or a type without a decoder
  kBadCharacter,  // a character outside the six-bit armour
  kBadFillBits,   // a fill-bit count outside 0 to 5, or more than the payload holds
  kCutShort,      // it ends before a field its record needs
  kNothingToRecord,  // handled, not rejected: a type 24 of the reserved parts 2 and 3
};

// A decoded message: its record and which message filled it.
struct DecodedRecord {
  TargetRecord record;
  AisContents contents = kContentsPosition;
  Rejection rejection = Rejection::kNotDecoded;
  explicit operator bool() const { return record != nullptr; }
};

struct PayloadRules {
  bool allTypes = false;   // messages 9, 19, 21 and 27 too
  bool wholeBits = false;  // only bits that arrived make a record (see PayloadReader)
  int fillBits = 0;        // of the message's last sentence; read only with whole bits
};

DecodedRecord DecodeAisPayload(std::string_view payload, const PayloadRules& rules);
// The contract's rules: every character has six bits, missing bits read as 0.
inline DecodedRecord DecodeAisPayload(std::string_view payload, bool allTypes = false) {
  return DecodeAisPayload(payload, PayloadRules{allTypes});
}

DecodedRecord DecodePositionReport(const PayloadReader& bits);     // types 1, 2, 3
DecodedRecord DecodeBaseStationReport(const PayloadReader& bits);  // type 4
DecodedRecord DecodeStaticVoyageData(const PayloadReader& bits);   // type 5
DecodedRecord DecodeClassBPosition(const PayloadReader& bits);     // type 18
DecodedRecord DecodeClassBStatic(const PayloadReader& bits);       // type 24
DecodedRecord DecodeSarAircraftReport(const PayloadReader& bits);  // type 9
DecodedRecord DecodeExtendedClassB(const PayloadReader& bits);     // type 19
DecodedRecord DecodeAidToNavigation(const PayloadReader& bits);    // type 21
DecodedRecord DecodeLongRangePosition(const PayloadReader& bits);  // type 27

}  // namespace vf::ais
