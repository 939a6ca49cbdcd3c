// The Linux build's ANSI code page is ISO 8859-1: every byte maps to the
// character with the same number, so a round trip keeps every byte.
#include "text_codec.h"

namespace vf::platform {

void WideToAnsi(std::u16string_view text, std::string& narrow) {
  narrow.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    narrow[i] = text[i] < 0x100 ? static_cast<char>(text[i]) : '?';
  }
}

std::string WideToAnsi(std::u16string_view text) {
  std::string narrow;
  WideToAnsi(text, narrow);
  return narrow;
}

void AnsiToWide(std::string_view text, std::u16string& wide) {
  wide.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) wide[i] = static_cast<unsigned char>(text[i]);
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string wide;
  AnsiToWide(text, wide);
  return wide;
}

}  // namespace vf::platform
