#include "payload_encoder.h"

#include <cstdio>

namespace vf::sim {

PayloadWriter& PayloadWriter::Put(uint64_t value, unsigned bits) {
  for (unsigned i = bits; i-- > 0;) m_bits.push_back(((value >> i) & 1u) != 0);
  return *this;
}

PayloadWriter& PayloadWriter::PutText(std::string_view text, unsigned characters) {
  for (unsigned i = 0; i < characters; ++i) {
    const unsigned char ch = i < text.size() ? static_cast<unsigned char>(text[i]) : '@';
    unsigned value = 0;
    if (ch >= 64 && ch <= 95) {
      value = ch - 64u;
    } else if (ch >= 32 && ch <= 63) {
      value = ch;
    } else {
      value = '?';
    }
    Put(value, 6);
  }
  return *this;
}

char ArmourCharacter(unsigned sixBitValue) {
  const unsigned value = sixBitValue & 0x3F;
  return static_cast<char>(value < 40 ? value + 48 : value + 56);
}

std::string PayloadWriter::Armoured() const {
  std::string out;
  for (size_t i = 0; i < m_bits.size(); i += 6) {
    unsigned value = 0;
    for (size_t j = 0; j < 6; ++j) value = (value << 1) | (i + j < m_bits.size() && m_bits[i + j] ? 1u : 0u);
    out += ArmourCharacter(value);
  }
  return out;
}

std::string NmeaChecksum(std::string_view body) {
  unsigned sum = 0;
  for (size_t i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
  char text[4];
  std::snprintf(text, sizeof text, "*%02X", sum & 0xFF);
  return text;
}

std::vector<std::string> VdmSentences(std::string_view payload, unsigned fillBits, int sequenceId, char channel,
                                      size_t perSentence, std::string_view talker) {
  const size_t count = payload.empty() ? 1 : (payload.size() + perSentence - 1) / perSentence;
  std::vector<std::string> sentences;
  for (size_t number = 1; number <= count; ++number) {
    const std::string_view piece = payload.substr((number - 1) * perSentence, perSentence);
    std::string body(1, '!');
    body.append(talker).append("VDM,").append(std::to_string(count)).append(",");
    body.append(std::to_string(number)).append(",");
    if (sequenceId >= 0) body += std::to_string(sequenceId);
    body += ",";
    body += channel;
    body += ",";
    body += piece;
    body += ",";
    body += std::to_string(number == count ? fillBits : 0);
    sentences.push_back(body + NmeaChecksum(body));
  }
  return sentences;
}

}  // namespace vf::sim
