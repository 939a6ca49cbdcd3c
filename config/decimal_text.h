// Reading decimal numbers out of text the way the C run-time's wcstol and
// strtoul do it: leading white space, a sign, then digits up to the first
// other character; no digits give 0.
#pragma once

#include <cstdint>
#include <string_view>

namespace vf {

inline bool IsWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Signed 32-bit result, clamped at the ends of the range as wcstol does with
// a 32-bit long.
int32_t ParseSignedDecimal(std::u16string_view text);

// Unsigned result modulo 2^32, as strtoul does with a 32-bit unsigned long,
// for base 10 or 16.
uint32_t ParseUnsigned(std::string_view text, int base);

}  // namespace vf
