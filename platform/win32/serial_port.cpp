// COM ports through the Win32 communications API, read with overlapped I/O
// so that a wait can end after its time-out.
#include "serial_port.h"
#include "native_calls.h"

#include "event.h"
#include "serial_port_state.h"

#include <new>

namespace vf::platform {
namespace {

constexpr DWORD kDriverQueueBytes = 4096;
constexpr int kSettingAttempts = 3;

// The driver may refuse while an error is pending; clear it and try again.
template <typename Apply>
bool Retrying(HANDLE file, Apply apply) {
  for (int attempt = 0; attempt < kSettingAttempts; ++attempt) {
    DWORD errors = 0;
    ClearCommError(file, &errors, nullptr);
    if (apply()) return true;
  }
  return false;
}

}  // namespace

std::string SerialDevicePath(int32_t portNumber) { return "\\\\.\\COM" + std::to_string(portNumber); }

std::vector<std::u16string> SerialPortRegistryData() {
  std::vector<std::u16string> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[260];
    BYTE data[260 + sizeof(wchar_t)] = {};  // room for a terminator the value may lack
    DWORD nameLength = 260, dataLength = 260, type = 0;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    ports.emplace_back(reinterpret_cast<const char16_t*>(data));
  }
  RegCloseKey(key);
  return ports;
}

Handle native::OpenSerialPort(int32_t portNumber, SerialOpenResult& result) {
  const std::wstring device = L"\\\\.\\COM" + std::to_wstring(portNumber);
  HANDLE file = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    result = error == ERROR_FILE_NOT_FOUND    ? SerialOpenResult::kNotFound
             : error == ERROR_ACCESS_DENIED ? SerialOpenResult::kInUse
                                            : SerialOpenResult::kFailed;
    return InvalidHandle();
  }
  auto* port = new (std::nothrow) SerialPort{file, {}, {}};
  if (port == nullptr) {
    CloseHandle(file);
    result = SerialOpenResult::kFailed;
    return InvalidHandle();
  }
  // Through the event call of the system-call table, so that tests reach this failure.
  const Handle readEvent = CreateManualResetEvent();
  const Handle writeEvent = CreateManualResetEvent();
  port->read.hEvent = IsHeld(readEvent) ? readEvent : nullptr;
  port->write.hEvent = IsHeld(writeEvent) ? writeEvent : nullptr;
  if (port->read.hEvent == nullptr || port->write.hEvent == nullptr) {
    native::CloseSerialPort(port);
    result = SerialOpenResult::kEventsFailed;
    return InvalidHandle();
  }
  result = SerialOpenResult::kOpened;
  return port;
}

bool native::ConfigureSerialPort(Handle handle, uint32_t baudRate, const SerialFrame* frame) {
  SerialPort* port = AsPort(handle);
  if (port == nullptr) return false;
  SetupComm(port->file, kDriverQueueBytes, kDriverQueueBytes);
  DCB settings{};
  settings.DCBlength = sizeof settings;
  GetCommState(port->file, &settings);
  settings.BaudRate = baudRate;
  if (frame != nullptr) {
    settings.ByteSize = static_cast<BYTE>(frame->dataBits);
    settings.Parity = frame->evenParity ? EVENPARITY : NOPARITY;
    settings.StopBits = frame->stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
  }
  settings.fBinary = TRUE;
  settings.fOutxCtsFlow = FALSE;
  settings.fOutxDsrFlow = FALSE;
  settings.fDtrControl = DTR_CONTROL_ENABLE;
  settings.fDsrSensitivity = FALSE;
  settings.fTXContinueOnXoff = FALSE;
  settings.fOutX = FALSE;
  settings.fInX = FALSE;
  settings.fErrorChar = FALSE;
  settings.fNull = FALSE;
  settings.fRtsControl = RTS_CONTROL_ENABLE;
  settings.fAbortOnError = FALSE;
  const bool applied = Retrying(port->file, [&] { return SetCommState(port->file, &settings) != 0; });

  // MAXDWORD, MAXDWORD and a constant: a read returns at once with what has
  // arrived, or waits up to the constant for the first byte, as the
  // communications documentation gives it. ReadIntervalTimeout = MAXDWORD
  // alone would end every read at once with nothing, and an idle port spin.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = kSerialFirstByteWaitMs;
  Retrying(port->file, [&] { return SetCommTimeouts(port->file, &timeouts) != 0; });
  return applied;
}

void native::RaiseModemLines(Handle handle) {
  if (SerialPort* port = AsPort(handle)) {
    EscapeCommFunction(port->file, SETDTR);
    EscapeCommFunction(port->file, SETRTS);
  }
}

void native::PurgeSerialPort(Handle handle, bool transmit, bool receive) {
  SerialPort* port = AsPort(handle);
  if (port == nullptr) return;
  if (transmit) PurgeComm(port->file, PURGE_TXABORT | PURGE_TXCLEAR);
  if (receive) PurgeComm(port->file, PURGE_RXABORT | PURGE_RXCLEAR);
}

SerialRead native::ReadSerialPort(Handle handle, uint8_t* buffer, size_t capacity, uint32_t timeoutMs, Handle stopEvent,
                          size_t& bytes) {
  bytes = 0;
  SerialPort* port = AsPort(handle);
  if (port == nullptr || capacity == 0) return SerialRead::kGone;
  ResetEvent(port->read.hEvent);
  DWORD got = 0;
  if (ReadFile(port->file, buffer, static_cast<DWORD>(capacity), &got, &port->read)) {
    bytes = got;
    return got > 0 ? SerialRead::kData : SerialRead::kNothing;
  }
  // A removed device fails every read (ERROR_BAD_COMMAND, ERROR_ACCESS_DENIED,
  // ERROR_DEVICE_REMOVED, ...): anything but a pending read means it is gone.
  if (GetLastError() != ERROR_IO_PENDING) return SerialRead::kGone;
  const HANDLE waits[2] = {port->read.hEvent, IsHeld(stopEvent) ? static_cast<HANDLE>(stopEvent) : nullptr};
  const DWORD signalled = WaitForMultipleObjects(waits[1] != nullptr ? 2 : 1, waits, FALSE, timeoutMs);
  if (signalled != WAIT_OBJECT_0) {
    // The caller's buffer must not be written after we return; what came
    // just before the cancel still counts.
    CancelIo(port->file);
    const bool read = GetOverlappedResult(port->file, &port->read, &got, TRUE) && got > 0;
    bytes = read ? got : 0;
    if (read) return SerialRead::kData;
    return signalled == WAIT_OBJECT_0 + 1 ? SerialRead::kStopped : SerialRead::kNothing;
  }
  if (!GetOverlappedResult(port->file, &port->read, &got, FALSE)) return SerialRead::kGone;
  bytes = got;
  return got > 0 ? SerialRead::kData : SerialRead::kNothing;
}

int64_t native::SerialOverrunCount(Handle handle) {
  SerialPort* port = AsPort(handle);
  if (port == nullptr) return -1;
  DWORD errors = 0;
  if (ClearCommError(port->file, &errors, nullptr) && (errors & (CE_OVERRUN | CE_RXOVER)) != 0) ++port->overruns;
  return port->overruns;
}

void native::CloseSerialPort(Handle handle) {
  SerialPort* port = AsPort(handle);
  if (port == nullptr) return;
  if (port->file != INVALID_HANDLE_VALUE) CloseHandle(port->file);
  if (port->read.hEvent != nullptr) CloseHandle(port->read.hEvent);
  if (port->write.hEvent != nullptr) CloseHandle(port->write.hEvent);
  delete port;
}

}  // namespace vf::platform
