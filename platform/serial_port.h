// Serial communication ports, named COM1 to COM256 as on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "handle.h"

namespace vf::platform {

// kNoPermission: the user may not open the device (Linux; Windows says a
// held port is denied, which is kInUse there).
enum class SerialOpenResult { kOpened, kNotFound, kInUse, kNoPermission, kEventsFailed, kFailed };

struct SerialFrame {
  int dataBits;  // 7 or 8
  bool evenParity;
  int stopBits;  // 1 or 2
};

// Where COMn lives: on Windows "\\.\COMn"; elsewhere a link "comN" in the
// folder $VF_SERIAL_DIR when that is set, otherwise as Wine numbers them:
// COM1-32 /dev/ttyS(n-1), COM33-64 /dev/ttyUSB(n-33), COM65 on /dev/ttyACM(n-65).
std::string SerialDevicePath(int32_t portNumber);

// The system's list of serial ports as the data of its entries ("COM3"), in
// its own order: on Windows the values of HARDWARE\DEVICEMAP\SERIALCOMM;
// elsewhere the comN links of $VF_SERIAL_DIR, then the ttyS devices with a
// UART behind them, then the ttyUSB and ttyACM devices present, as COMn.
std::vector<std::u16string> SerialPortRegistryData();

// Opens the port for reading and writing, held by this program alone: no
// other program can open it until it is closed.
Handle OpenSerialPort(int32_t portNumber, SerialOpenResult& result);

// Raw transfer at the given speed without flow control or character
// processing, DTR and RTS enabled; without a frame the driver's data bits,
// parity and stop bits stay. Reads return whatever has arrived. False when
// the driver refused the settings.
bool ConfigureSerialPort(Handle port, uint32_t baudRate, const SerialFrame* frame);
void RaiseModemLines(Handle port);  // DTR, then RTS
void PurgeSerialPort(Handle port, bool transmit, bool receive);

enum class SerialRead {
  kData,     // `bytes` bytes were read
  kNothing,  // nothing came within the time-out
  kStopped,  // the stop event was signalled first
  kGone,     // the device went away: unplugged, or the other side of a pseudo-terminal closed
};
// Waits at most `timeoutMs` for input, or until `stopEvent` (when held) is
// signalled, and reads what has arrived, at most `capacity` bytes.
SerialRead ReadSerialPort(Handle port, uint8_t* buffer, size_t capacity, uint32_t timeoutMs, Handle stopEvent,
                          size_t& bytes);

// Characters the port lost below the program since the driver started
// (overruns of the UART and of the driver's buffer, TIOCGICOUNT), or on
// Windows since the port was opened (each overrun ClearCommError reports,
// counted once); -1 when the driver does not tell (a pseudo-terminal).
int64_t SerialOverrunCount(Handle port);

void CloseSerialPort(Handle port);

}  // namespace vf::platform
