// The device links' error codes and their messages, as the trace shows them:
// one list, for the codes and for the table of texts.
#pragma once

#include <cstdint>

#include "ais_shared_string.h"

// The texts are the host's own, shared with its other components; they are
// kept exactly as the host shows them, spelling included. 10206 is the
// plug-in's own: the host has no text for a port the user may not open.
#define AIS_LINK_ERRORS(ERROR)                                                                                      \
  ERROR(kLinkSuccess, 0, u"Succes")                                                                                \
  ERROR(kSerialPortInUse, 10201, u"Failed to open the selected serial port because it is already in use.")        \
  ERROR(kSerialPortGone, 10202, u"Failed to open the selected serial port because it not longer exist.")          \
  ERROR(kSerialEventsFailed, 10203, u"Failed to open the selected serial port because creating events failed.")   \
  ERROR(kSerialUnknownError, 10204, u"Failed to open the selected serial port, unknown error.")                   \
  ERROR(kSerialPortNumberInvalid, 10205,                                                                           \
        u"Failed to open the serial port because the selected serial port number is invalid.")                    \
  ERROR(kSerialNoPermission, 10206,                                                                                \
        u"Failed to open the selected serial port because this user may not open it. Give the user access to the " \
        u"device (on Linux: add the user to the device's group, usually dialout, and log in again)")             \
  ERROR(kTcpSocketFailed, 10210, u"Failed to open TCP connection because the creation of the socket failed.")     \
  ERROR(kTcpStartupFailed, 10211, u"Failed to open TCP connection because the initialization of WinSock has failed.") \
  ERROR(kTcpConnectTimeout, 10212, u"Failed to open TCP connection, timeout while trying to connect to host.")     \
  ERROR(kTcpReuseFlagFailed, 10213,                                                                                \
        u"Failed to open TCP connection, an error has ocurred while setting the socket reuse flag.")              \
  ERROR(kTcpBlockingFlagFailed, 10214,                                                                             \
        u"Failed to open TCP connection, an error has ocurred while setting the blocking flag.")                  \
  ERROR(kTcpHostUnresolved, 10215,                                                                                 \
        u"Failed to open TCP connection because the specified hostname could not be resolved.")                   \
  ERROR(kTcpPortInvalid, 10216, u"Failed to open TCP connection because the specified portnumer is invalid.")     \
  ERROR(kTcpHostMissing, 10217,                                                                                    \
        u"Failed to open TCP connection because the hostname or IP address is missing or invalid.")               \
  ERROR(kUdpSocketFailed, 10230, u"Failed to open UDP connection because the creation of the socket failed.")     \
  ERROR(kUdpStartupFailed, 10231, u"Failed to open UDP connection because the initialization of WinSock has failed.") \
  ERROR(kUdpReuseFlagFailed, 10232,                                                                                \
        u"Failed to open UDP connection, an error has occured whule setting the socket reuse flag.")              \
  ERROR(kUdpBlockingFlagFailed, 10233,                                                                             \
        u"Failed to open UDP connection. An error has occured while setting the blocking flag.")                  \
  ERROR(kUdpBindFailed, 10234,                                                                                     \
        u"Failed to open UDP connection. Failed to bind socket. The specified port could already be in use.")     \
  ERROR(kUdpPortInvalid, 10235, u"Failed to open UDP connection because the specified portnumber is invalid.")    \
  ERROR(kUdpHostMissing, 10236,                                                                                    \
        u"Failed to open UDP connection because the hostname or IP addess is missing or invalid.")

#define AIS_LINK_ERROR_CODE(name, code, text) name = code,
enum LinkError : int32_t { AIS_LINK_ERRORS(AIS_LINK_ERROR_CODE) };
#undef AIS_LINK_ERROR_CODE

// Puts the code's message into `text` and returns it; "Unknown Error" for a
// code that is not in the list.
CWideString& GetErrorText(int32_t code, CWideString& text);
