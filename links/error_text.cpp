#include "error_text.h"

#include <string_view>

namespace {

struct ErrorRow {
  int32_t code;
  std::u16string_view message;
};

// The texts are the host's own, shared with its other components; they are
// kept exactly as the host shows them, spelling included.
constexpr ErrorRow kErrorTable[] = {
    {kLinkSuccess, u"Succes"},
    {kSerialPortInUse, u"Failed to open the selected serial port because it is already in use."},
    {kSerialPortGone, u"Failed to open the selected serial port because it not longer exist."},
    {kSerialEventsFailed, u"Failed to open the selected serial port because creating events failed."},
    {kSerialUnknownError, u"Failed to open the selected serial port, unknown error."},
    {kSerialPortNumberInvalid, u"Failed to open the serial port because the selected serial port number is invalid."},
    {kTcpSocketFailed, u"Failed to open TCP connection because the creation of the socket failed."},
    {kTcpStartupFailed, u"Failed to open TCP connection because the initialization of WinSock has failed."},
    {kTcpConnectTimeout, u"Failed to open TCP connection, timeout while trying to connect to host."},
    {kTcpReuseFlagFailed, u"Failed to open TCP connection, an error has ocurred while setting the socket reuse flag."},
    {kTcpBlockingFlagFailed, u"Failed to open TCP connection, an error has ocurred while setting the blocking flag."},
    {kTcpHostUnresolved, u"Failed to open TCP connection because the specified hostname could not be resolved."},
    {kTcpPortInvalid, u"Failed to open TCP connection because the specified portnumer is invalid."},
    {kTcpHostMissing, u"Failed to open TCP connection because the hostname or IP address is missing or invalid."},
    {kUdpSocketFailed, u"Failed to open UDP connection because the creation of the socket failed."},
    {kUdpStartupFailed, u"Failed to open UDP connection because the initialization of WinSock has failed."},
    {kUdpReuseFlagFailed, u"Failed to open UDP connection, an error has occured whule setting the socket reuse flag."},
    {kUdpBlockingFlagFailed, u"Failed to open UDP connection. An error has occured while setting the blocking flag."},
    {kUdpBindFailed,
     u"Failed to open UDP connection. Failed to bind socket. The specified port could already be in use."},
    {kUdpPortInvalid, u"Failed to open UDP connection because the specified portnumber is invalid."},
    {kUdpHostMissing, u"Failed to open UDP connection because the hostname or IP addess is missing or invalid."},
};

}  // namespace

CWideString& GetErrorText(int32_t code, CWideString& text) {
  for (const ErrorRow& row : kErrorTable) {
    if (row.code == code) {
      text = row.message;
      return text;
    }
  }
  text = u"Unknown Error";
  return text;
}
