// The messages of the device links' error codes, as the trace shows them.
#pragma once

#include <cstdint>

#include "ais_shared_string.h"

enum LinkError : int32_t {
  kLinkSuccess = 0,
  kSerialPortInUse = 10201,
  kSerialPortGone = 10202,
  kSerialEventsFailed = 10203,
  kSerialUnknownError = 10204,
  kSerialPortNumberInvalid = 10205,
  kTcpSocketFailed = 10210,
  kTcpStartupFailed = 10211,
  kTcpConnectTimeout = 10212,
  kTcpReuseFlagFailed = 10213,
  kTcpBlockingFlagFailed = 10214,
  kTcpHostUnresolved = 10215,
  kTcpPortInvalid = 10216,
  kTcpHostMissing = 10217,
  kUdpSocketFailed = 10230,
  kUdpStartupFailed = 10231,
  kUdpReuseFlagFailed = 10232,
  kUdpBlockingFlagFailed = 10233,
  kUdpBindFailed = 10234,
  kUdpPortInvalid = 10235,
  kUdpHostMissing = 10236,
};

// Puts the code's message into `text` and returns it; "Unknown Error" for a
// code that is not in the table.
CWideString& GetErrorText(int32_t code, CWideString& text);
