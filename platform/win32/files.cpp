#include "files.h"
#include "native_calls.h"

#include <windows.h>
#include <shlobj.h>

#include "win32_text.h"

namespace vf::platform {

std::u16string CommonAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(folder));
}

char16_t PathSeparator() { return u'\\'; }

std::optional<std::string> native::ReadWholeFile(const std::u16string& path) {
  HANDLE file = CreateFileW(win32::Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[8192];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

bool native::RewriteWholeFile(const std::u16string& path, const std::string& bytes) {
  // In place, as "wt+" opens it, sharing the file with the host's readers
  // and writers: a rename would fail while another process has it open.
  HANDLE file = CreateFileW(win32::Wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size();
  return CloseHandle(file) && whole;
}

bool native::ReplaceWholeFile(const std::u16string& path, const std::string& bytes) {
  const std::u16string beside = path + u".new";
  HANDLE file = CreateFileW(win32::Wide(beside), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return RewriteWholeFile(path, bytes);
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size();
  const bool closed = CloseHandle(file) != 0;
  if (whole && closed && MoveFileExW(win32::Wide(beside), win32::Wide(path), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(win32::Wide(beside));
  return whole && closed && RewriteWholeFile(path, bytes);  // a reader holds the file without sharing deletion
}

}  // namespace vf::platform
