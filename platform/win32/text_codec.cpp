#include "text_codec.h"

#include <windows.h>

namespace vf::platform {

void WideToAnsi(std::u16string_view text, std::string& narrow) {
  narrow.clear();
  if (text.empty()) return;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return;
  narrow.resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_ACP, 0, wide, length, narrow.data(), bytes, nullptr, nullptr);
}

std::string WideToAnsi(std::u16string_view text) {
  std::string narrow;
  WideToAnsi(text, narrow);
  return narrow;
}

void AnsiToWide(std::string_view text, std::u16string& wide) {
  wide.clear();
  if (text.empty()) return;
  const int length = static_cast<int>(text.size());
  const int characters = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (characters <= 0) return;
  wide.resize(static_cast<size_t>(characters));
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(wide.data()), characters);
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string wide;
  AnsiToWide(text, wide);
  return wide;
}

}  // namespace vf::platform
