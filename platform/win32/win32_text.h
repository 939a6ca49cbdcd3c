// The Windows API takes wchar_t text; on Windows that is UTF-16, the same
// code units as char16_t.
#pragma once

#include <string>

namespace vf::platform::win32 {

inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline const wchar_t* Wide(const std::u16string& text) { return Wide(text.c_str()); }

}  // namespace vf::platform::win32
