// The bit rules of an armoured AIS payload: six bits per character, bit 0 the
// most significant bit of the first character, bits past the end read as 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "ais_shared_string.h"

namespace vf::ais {

// A field of a message as ITU-R M.1371 lists it: first bit and length.
struct BitField {
  uint16_t first;
  uint16_t length;
};

// True when `next` starts right where `field` ends; the decoders' tables
// check with it that they transcribe the standard's layout without gaps.
constexpr bool Adjacent(BitField field, BitField next) { return field.first + field.length == next.first; }

constexpr BitField kMmsiField{8, 30};

// The six-bit value of an armouring character; every character has one.
uint8_t SixBitValue(char ch);

// Up to 32 bits, unsigned.
uint32_t ExtractBits(std::string_view payload, uint32_t first, uint32_t length);
inline uint32_t ExtractBits(std::string_view payload, BitField field) {
  return ExtractBits(payload, field.first, field.length);
}
// Two's complement, sign-extended from the field's top bit.
int32_t ExtractSignedBits(std::string_view payload, uint32_t first, uint32_t length);
inline int32_t ExtractSignedBits(std::string_view payload, BitField field) {
  return ExtractSignedBits(payload, field.first, field.length);
}

// Appends one character per complete six-bit group of the field; value 0
// ("@") becomes U+0000 and nothing is trimmed.
CWideString& GetSixBitText(std::string_view payload, uint32_t first, uint32_t length, CWideString& text);
inline CWideString& GetSixBitText(std::string_view payload, BitField field, CWideString& text) {
  return GetSixBitText(payload, field.first, field.length, text);
}

// A payload as a decoder reads it. With whole bits, only the bits that
// arrived are read: a field that reaches past them marks the payload cut
// short (its decoder then makes no record), except that a text field may
// lack its last character, which it then goes without (a type 5 of 420 bits,
// as many transmitters send it). Without, every bit past the end reads as 0,
// as the plug-in's contract says.
class PayloadReader {
 public:
  // Without whole bits: every character's six bits, and bits past them read as 0.
  static PayloadReader Literal(std::string_view payload) {
    return PayloadReader(payload, static_cast<uint32_t>(payload.size() * 6), false);
  }
  PayloadReader(std::string_view payload, uint32_t bitCount, bool wholeBits)
      : m_payload(payload), m_nBitCount(bitCount), m_bWholeBits(wholeBits) {}

  uint32_t Unsigned(BitField field) const {
    Need(field);
    return ExtractBits(m_payload, field);
  }
  int32_t Signed(BitField field) const {
    Need(field);
    return ExtractSignedBits(m_payload, field);
  }
  CWideString& Text(BitField field, CWideString& text) const {
    if (m_bWholeBits) {
      const uint32_t arrived = WholeCharactersOf(field);
      if (arrived + 1 < field.length / 6u) m_bCutShort = true;
      field.length = static_cast<uint16_t>(arrived * 6);
    }
    return GetSixBitText(m_payload, field, text);
  }
  // The bits that carry the message: the payload less its fill bits.
  uint32_t BitCount() const { return m_nBitCount; }
  bool CutShort() const { return m_bCutShort; }

 private:
  void Need(BitField field) const {
    if (m_bWholeBits && uint32_t{field.first} + field.length > m_nBitCount) m_bCutShort = true;
  }
  uint32_t WholeCharactersOf(BitField field) const {
    if (field.first >= m_nBitCount) return 0;
    const uint32_t arrived = m_nBitCount - field.first;
    return (arrived < field.length ? arrived : field.length) / 6;
  }

  std::string_view m_payload;
  uint32_t m_nBitCount;
  bool m_bWholeBits;
  mutable bool m_bCutShort = false;
};

// 1/10000 minute to degrees, for longitudes and latitudes.
inline double MinutesTenThousandthsToDegrees(int32_t value) { return static_cast<double>(value) / 600000.0; }
// 1/10 minute to degrees, for the long-range positions of message 27.
inline double MinutesTenthsToDegrees(int32_t value) { return static_cast<double>(value) / 600.0; }
// Tenths of a knot or of a degree.
inline double TenthsToUnits(uint32_t value) { return static_cast<double>(value) / 10.0; }

}  // namespace vf::ais
