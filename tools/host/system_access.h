// What the reference host needs from the operating system beyond the SDK:
// whether a stream is a terminal, serial devices by path, and the signals
// that stop it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vf::host {

bool StandardErrorIsTerminal();
bool StandardInputIsTerminal();
// The width of the terminal standard error writes to; 0 when unknown.
size_t StandardErrorColumns();

// Makes a serial device path (/dev/ttyUSB0) known to the plug-in as a COM
// port number; false with `error` saying why. UnmapSerialDevice undoes it.
bool MapSerialDevice(const std::string& device, int32_t& port, std::string& error);
void UnmapSerialDevice();

// Ctrl-C, termination requests and a hang-up (Linux) call `handler`; a
// closed pipe does not kill.
void OnStopSignals(void (*handler)(int));

}  // namespace vf::host
