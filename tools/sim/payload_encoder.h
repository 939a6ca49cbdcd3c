// Building armoured AIS payloads and the NMEA sentences that carry them: the
// sending side of what the plug-in decodes, for the simulator and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vf::sim {

class PayloadWriter {
 public:
  // Appends the low `bits` bits of the value, most significant first.
  PayloadWriter& Put(uint64_t value, unsigned bits);
  PayloadWriter& PutSigned(int64_t value, unsigned bits) { return Put(static_cast<uint64_t>(value), bits); }
  // Six-bit text of exactly `characters` characters, padded with "@"; a
  // character outside the six-bit table is sent as "?".
  PayloadWriter& PutText(std::string_view text, unsigned characters);

  // The armoured characters; the last one is completed with zero fill bits.
  std::string Armoured() const;

 private:
  std::vector<bool> m_bits;
};

char ArmourCharacter(unsigned sixBitValue);

// "*hh" checksum of the characters between the first one and the "*".
std::string NmeaChecksum(std::string_view body);

// "!AIVDM,count,number,sequence,channel,payload,fill*hh" sentences, with at
// most `perSentence` payload characters each; a one-sentence message has an
// empty sequence field unless `sequenceId` is given (>= 0).
std::vector<std::string> VdmSentences(std::string_view payload, unsigned fillBits, int sequenceId, char channel,
                                      size_t perSentence = 60, std::string_view talker = "AI");

}  // namespace vf::sim
