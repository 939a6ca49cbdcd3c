#include "payload_bits.h"

namespace vf::ais {

uint8_t SixBitValue(char ch) {
  auto value = static_cast<int8_t>(static_cast<uint8_t>(ch) - 48);
  if (value > 40) value = static_cast<int8_t>(value - 8);
  return static_cast<uint8_t>(value) & 0x3F;
}

namespace {

// The six bits of payload character `index`; past the payload's end, zero bits.
uint64_t SixBitGroup(std::string_view payload, uint64_t index) {
  return index < payload.size() ? SixBitValue(payload[index]) : 0u;
}

}  // namespace

uint32_t ExtractBits(std::string_view payload, uint32_t first, uint32_t length) {
  if (length == 0) return 0;
  if (length > 32) {  // only the field's last 32 bits fit the result
    first += length - 32;
    length = 32;
  }
  // The six-bit groups that hold the field, one after the other in a word.
  const uint64_t end = uint64_t{first} + length;
  const uint64_t lastGroup = (end - 1) / 6;
  uint64_t groups = 0;
  for (uint64_t index = first / 6; index <= lastGroup; ++index) {
    groups = (groups << 6) | SixBitGroup(payload, index);
  }
  const auto trailingBits = static_cast<uint32_t>((lastGroup + 1) * 6 - end);
  return static_cast<uint32_t>((groups >> trailingBits) & ((uint64_t{1} << length) - 1));
}

int32_t ExtractSignedBits(std::string_view payload, uint32_t first, uint32_t length) {
  const uint32_t value = ExtractBits(payload, first, length);
  if (length == 0 || length >= 32) return static_cast<int32_t>(value);
  const uint32_t sign = 1u << (length - 1);
  return static_cast<int32_t>((value ^ sign) - sign);
}

namespace {

char16_t SixBitCharacter(uint32_t value) {
  if (value == 0) return u'\0';
  return static_cast<char16_t>(value < 32 ? value + 64 : value);
}

}  // namespace

CWideString& GetSixBitText(std::string_view payload, uint32_t first, uint32_t length, CWideString& text) {
  const uint32_t characters = length / 6;
  if (characters == 0) return text;
  // A character lies in the six-bit group where it starts and, unless it
  // starts on a group's edge, the next one.
  const uint32_t shift = 6 - first % 6;
  uint64_t index = first / 6;
  constexpr uint32_t kPiece = 64;  // appended in pieces so that no field needs a heap buffer here
  char16_t piece[kPiece];
  uint32_t filled = 0;
  for (uint32_t i = 0; i < characters; ++i, ++index) {
    const uint64_t twoGroups = SixBitGroup(payload, index) << 6 | SixBitGroup(payload, index + 1);
    piece[filled++] = SixBitCharacter(static_cast<uint32_t>(twoGroups >> shift) & 0x3F);
    if (filled == kPiece || i + 1 == characters) {
      text.Append(std::u16string_view(piece, filled));
      filled = 0;
    }
  }
  return text;
}

}  // namespace vf::ais
