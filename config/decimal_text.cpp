#include "decimal_text.h"

#include <limits>

namespace vf {

int32_t ParseSignedDecimal(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t magnitude = 0;
  const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()} : std::numeric_limits<int32_t>::max();
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > limit) magnitude = limit;  // saturate, then keep consuming digits
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

static int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

uint32_t ParseUnsigned(std::string_view text, int base) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      i + 2 < text.size() && DigitValue(text[i + 2]) < 16) {
    i += 2;
  }
  uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(text[i]));
    if (value > std::numeric_limits<uint32_t>::max()) overflow = true, value = std::numeric_limits<uint32_t>::max();
  }
  if (overflow) return std::numeric_limits<uint32_t>::max();
  const auto result = static_cast<uint32_t>(value);
  return negative ? static_cast<uint32_t>(0u - result) : result;
}

}  // namespace vf
