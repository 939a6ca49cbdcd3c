// Conversions between wide text and the system's 8-bit (ANSI) code page.
#pragma once

#include <string>
#include <string_view>

namespace vf::platform {

// A character that the code page lacks becomes its default character.
std::string WideToAnsi(std::u16string_view text);
// The same into a caller's buffer, whose capacity is reused.
void WideToAnsi(std::u16string_view text, std::string& narrow);
std::u16string AnsiToWide(std::string_view text);
// The same into a caller's buffer, whose capacity is reused.
void AnsiToWide(std::string_view text, std::u16string& wide);

}  // namespace vf::platform
