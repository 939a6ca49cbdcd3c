// The six-bit rules that every decoder relies on.
#include <gtest/gtest.h>

#include "ais/payload_bits.h"
#include "payload_encoder.h"

namespace {

using vf::ais::ExtractBits;
using vf::ais::ExtractSignedBits;
using vf::ais::GetSixBitText;
using vf::ais::SixBitValue;

TEST(SixBitValue, ArmouringCharactersAndEveryOtherCharacter) {
  const struct {
    char ch;
    uint8_t value;
  } cases[] = {{'0', 0}, {'9', 9}, {'W', 39}, {'`', 40}, {'w', 63}, {'X', 40}, {' ', 48}, {'\0', 16}, {'\xff', 15}};
  for (const auto& c : cases) EXPECT_EQ(SixBitValue(c.ch), c.value) << "character " << int(c.ch);
  for (unsigned value = 0; value < 64; ++value) EXPECT_EQ(SixBitValue(vf::sim::ArmourCharacter(value)), value);
}

TEST(ExtractBits, FieldsAcrossCharactersAndPastTheEnd) {
  // "w0" is 111111 000000.
  EXPECT_EQ(ExtractBits("w0", 0, 6), 63u);
  EXPECT_EQ(ExtractBits("w0", 3, 6), 0b111000u);
  EXPECT_EQ(ExtractBits("w0", 5, 1), 1u);
  EXPECT_EQ(ExtractBits("w", 3, 6), 0b111000u) << "bits past the end read as 0";
  EXPECT_EQ(ExtractBits("w", 12, 30), 0u) << "a field wholly past the end is 0";
  EXPECT_EQ(ExtractBits("wwwwww", 0, 32), 0xFFFFFFFFu);
}

TEST(ExtractBits, SignedFieldsAreSignExtendedFromTheirTopBit) {
  vf::sim::PayloadWriter w;
  w.Put(0x8000000, 28).Put(0x7FFFFFF, 27).Put(0x7FFFFFF, 28);
  const std::string payload = w.Armoured();
  EXPECT_EQ(ExtractSignedBits(payload, 0, 28), -134217728);
  EXPECT_EQ(ExtractSignedBits(payload, 28, 27), -1);
  EXPECT_EQ(ExtractSignedBits(payload, 55, 28), 0x7FFFFFF);
}

std::u16string Text(std::string_view payload, uint32_t first, uint32_t length) {
  CWideString text;
  GetSixBitText(payload, first, length, text);
  return std::u16string(text.View());
}

TEST(GetSixBitText, WholeGroupsOnlyAppendedToWhatTheTextHolds) {
  EXPECT_EQ(Text("ww", 0, 5), u"");
  EXPECT_EQ(Text("ww", 0, 13), u"??");
  EXPECT_EQ(Text("w", 0, 18), std::u16string(u"?") + u'\0' + u'\0') << "past the end gives U+0000";
  CWideString text(u"X");
  GetSixBitText("1", 0, 6, text);
  EXPECT_EQ(text.View(), u"XA");
}

// The whole table in order, then padding: '@' becomes NUL, trailing spaces stay.
TEST(GetSixBitText, KeepsEveryCharacterAndTurnsAtIntoNul) {
  vf::sim::PayloadWriter w;
  for (unsigned value = 0; value < 64; ++value) w.Put(value, 6);
  w.Put(32, 6).Put(32, 6).Put(0, 6).Put(0, 6);
  std::u16string expected(1, u'\0');
  for (char16_t ch = 65; ch <= 95; ++ch) expected += ch;
  for (char16_t ch = 32; ch <= 63; ++ch) expected += ch;
  expected += std::u16string(u"  ") + u'\0' + u'\0';
  EXPECT_EQ(Text(w.Armoured(), 0, 68 * 6), expected);
}

}  // namespace
