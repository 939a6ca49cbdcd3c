// The system's own words for a Windows error code (GetLastError,
// WSAGetLastError), in UTF-8 for the tools' messages.
#pragma once

#include <windows.h>

#include <string>

namespace vf::tools {

inline std::string SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (length > 0) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    message.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), bytes, nullptr, nullptr);
  }
  LocalFree(text);
  // The system's sentences end in a full stop and a line end; the messages go on after them.
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "system error " + std::to_string(code) : message;
}

}  // namespace vf::tools
