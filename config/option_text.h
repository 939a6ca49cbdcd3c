// The option text of a device configuration: entries "KEY=VALUE" separated by
// ";". The plug-in reads and writes one key, "CRC" (checksum verification).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vf {

// The entry at a zero-based position of the text cut at any separator
// character, empty entries skipped; empty when there are not that many.
std::u16string GetOptionEntry(std::u16string_view text, size_t index, std::u16string_view separators);

// The trimmed value of the entry whose key (before "=", trimmed) is `key`;
// empty when there is none.
std::u16string_view OptionValue(std::u16string_view optionText, std::u16string_view key);

// The value of the first entry that begins with "CRC", trimmed.
std::u16string GetCrcOption(std::u16string_view text);

// The CRC value as a number; 1 when the text sets none.
int32_t GetCrcCheck(std::u16string_view text);

// Rewrites the text so that the CRC entry holds `value`.
void SetCrcOption(std::u16string& text, std::u16string_view value);

}  // namespace vf
