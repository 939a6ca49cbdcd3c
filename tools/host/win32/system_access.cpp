#include "system_access.h"

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "ais_utf8.h"
#include "win32/system_error_text.h"

namespace vf::host {

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

size_t StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

// Windows names its serial ports itself: "\\.\COMn" is COMn.
bool MapSerialDevice(const std::string& device, int32_t& port, std::string& error) {
  const std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
  if (name.size() > 3 && name.compare(0, 3, "COM") == 0) {
    port = std::atoi(name.c_str() + 3);
    if (port >= 1 && port <= 256) return true;
  }
  error = "on Windows name the serial port as COMn, not '" + device + "'";
  return false;
}

void UnmapSerialDevice() {}

namespace {

class HandleBytes : public InputBytes {
 public:
  HandleBytes(HANDLE handle, bool owned)
      : m_handle(handle), m_owned(owned), m_peek(GetFileType(handle) == FILE_TYPE_PIPE) {}
  ~HandleBytes() override {
    if (m_owned) CloseHandle(m_handle);
  }
  HandleBytes(const HandleBytes&) = delete;
  HandleBytes& operator=(const HandleBytes&) = delete;

  // A pipe is read only once it holds bytes, so that a stop is never kept
  // waiting by a writer that is quiet; a file's reads return at once. (A pipe
  // that cannot be peeked at, as Wine's from a Linux shell, is read as it is.)
  size_t Read(char* buffer, size_t size, const std::atomic<bool>& stop) override {
    DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, MAXDWORD));
    while (!stop) {
      if (m_peek) {
        DWORD available = 0;
        if (!PeekNamedPipe(m_handle, nullptr, 0, nullptr, &available, nullptr)) {
          if (GetLastError() == ERROR_BROKEN_PIPE) return 0;  // the writer closed it
          m_peek = false;
          continue;
        }
        if (available == 0) {
          Sleep(20);
          continue;
        }
        wanted = std::min(wanted, available);
      }
      DWORD got = 0;
      return ReadFile(m_handle, buffer, wanted, &got, nullptr) ? got : 0;
    }
    return 0;
  }

 private:
  HANDLE m_handle;
  bool m_owned;  // standard input stays open for the C runtime
  bool m_peek;   // a pipe: wait for bytes before reading
};

}  // namespace

std::unique_ptr<InputBytes> OpenInput(const std::string& path, std::string& error) {
  if (path == "-") return std::make_unique<HandleBytes>(GetStdHandle(STD_INPUT_HANDLE), false);
  const std::u16string name = vf::FromUtf8(path);
  const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot read the recording " + path + ": " + vf::tools::SystemErrorText(GetLastError());
    return nullptr;
  }
  return std::make_unique<HandleBytes>(file, true);
}

bool WriteToOutput(std::string_view bytes, const volatile std::sig_atomic_t&) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

void OnStopSignals(void (*handler)(int)) {
  std::signal(SIGINT, handler);  // Ctrl-C in a console
  std::signal(SIGTERM, handler);
}

}  // namespace vf::host
