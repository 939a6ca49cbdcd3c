// The option text functions on any UTF-16 text: reading entries and the CRC
// value, and rewriting the CRC entry, which must then read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/option_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  for (size_t index = 0; index < 4; ++index) vf::GetOptionEntry(text, index, u";,");
  vf::GetCrcOption(text);
  vf::GetCrcCheck(text);
  std::u16string rewritten = text;
  vf::SetCrcOption(rewritten, u"0");
  std::u16string again = rewritten;
  vf::SetCrcOption(again, u"1");
  vf::GetCrcCheck(again);
  return 0;
}
