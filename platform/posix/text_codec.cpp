// The Linux build's ANSI code page is ISO 8859-1: every byte maps to the
// character with the same number, so a round trip keeps every byte.
#include "text_codec.h"

namespace vf::platform {

// Through plain pointers: a store through the string's operator[] might
// change the string itself as far as the compiler knows, which keeps it from
// turning these loops into vector code.
void WideToAnsi(std::u16string_view text, std::string& narrow) {
  narrow.resize(text.size());
  const char16_t* in = text.data();
  char* out = narrow.data();
  for (size_t i = 0; i < text.size(); ++i) out[i] = in[i] < 0x100 ? static_cast<char>(in[i]) : '?';
}

std::string WideToAnsi(std::u16string_view text) {
  std::string narrow;
  WideToAnsi(text, narrow);
  return narrow;
}

void AnsiToWide(std::string_view text, std::u16string& wide) {
  wide.resize(text.size());
  const char* in = text.data();
  char16_t* out = wide.data();
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<unsigned char>(in[i]);
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string wide;
  AnsiToWide(text, wide);
  return wide;
}

}  // namespace vf::platform
