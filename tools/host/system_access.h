// What the reference host needs from the operating system beyond the SDK:
// whether a stream is a terminal, serial devices by path, a recording's
// bytes, and the signals that stop it.
#pragma once

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vf::host {

bool StandardErrorIsTerminal();
bool StandardInputIsTerminal();
// The width of the terminal standard error writes to; 0 when unknown.
size_t StandardErrorColumns();

// Makes a serial device path (/dev/ttyUSB0) known to the plug-in as a COM
// port number; false with `error` saying why. UnmapSerialDevice undoes it.
bool MapSerialDevice(const std::string& device, int32_t& port, std::string& error);
void UnmapSerialDevice();

// The bytes of a recording as they arrive: a file, or standard input ("-").
class InputBytes {
 public:
  virtual ~InputBytes() = default;
  // Waits for bytes (looking at `stop` every 100 ms) and reads those that are
  // there, up to `size`; 0 at the end of the input, on an error or a stop.
  virtual size_t Read(char* buffer, size_t size, const std::atomic<bool>& stop) = 0;
};
// nullptr with `error` (the system's reason) when `path` cannot be read.
std::unique_ptr<InputBytes> OpenInput(const std::string& path, std::string& error);

// Ctrl-C, termination requests and a hang-up (Linux) call `handler`; a
// closed pipe does not kill.
void OnStopSignals(void (*handler)(int));

// Writes the bytes to standard output; false when the reader has gone, or
// when `stop` is set while it takes nothing (a reader that stalled is not
// waited for after Ctrl-C, whichever thread the signal reached). On Windows
// the write waits for the reader.
bool WriteToOutput(std::string_view bytes, const volatile std::sig_atomic_t& stop);

}  // namespace vf::host
