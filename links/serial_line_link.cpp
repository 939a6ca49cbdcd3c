#include "links/serial_line_link.h"

#include <string>

#include "diag/trace_file.h"
#include "links/error_text.h"
#include "platform/event.h"
#include "platform/text_codec.h"

namespace vf::links {
namespace {

constexpr uint32_t kReadTimeoutMs = 500;

}  // namespace

int32_t SerialLineLink::Open(const LinkOpening& opening) {
  const TraceWriter& trace = opening.trace;
  const CCfgDevice& config = opening.config;
  m_pTrace = &trace;
  m_bReconnect = opening.options.reconnect;
  m_bLossTraced = false;
  const int32_t port = config.m_nSerialPort;
  if (port < 1 || port > kAisLastComPort) {
    trace.TraceStatus(kTraceError,
                      u"Failed to open serial port: [COM%ld]. The requested serial port does not exist on this system.",
                      {port});
    return -1;
  }
  m_port.m_nPort = port;
  m_port.m_nBaudRate = static_cast<uint32_t>(config.m_nSerialSpeed);
  m_port.m_nFormat = config.m_nSerialFormat;
  m_port.m_nTimeout = static_cast<uint32_t>(config.m_nSerialTimeout);
  trace.TraceStatus(kTraceProgress, u"Opening serial port: [COM%ld] with a speed of %ld bps...",
                    {port, config.m_nSerialSpeed});
  const int32_t result = m_port.Open(opening.stopEvent);
  if (result == 0) {
    trace.TraceStatus(kTraceSuccess, u"Successfully opened serial port: [COM%ld].", {port});
    m_recovery.Start(u"serial port [COM" + platform::AnsiToWide(std::to_string(port)) + u"]");
    return 0;
  }
  CWideString text;
  trace.TraceStatus(kTraceError, u"Failed to open serial port: [COM%ld]. %ls.", {port, GetErrorText(result, text)});
  return -1;
}

int32_t SerialLineLink::Wait(platform::Handle controlEvent, platform::Handle auxEvent) {
  // The serial read does the waiting; here the events are only polled.
  platform::Handle events[2] = {controlEvent, auxEvent};
  size_t count = 0;
  for (platform::Handle event : events) count += platform::IsHeld(event) ? 1 : 0;
  const int signalled = count > 0 ? platform::WaitForAnyEvent(events, count, 0) : -1;
  return signalled >= 0 ? signalled + 1 : 0;
}

int32_t SerialLineLink::ReadLine(std::string_view& line, platform::Handle stopEvent) {
  line = {};
  // Gone, or closed by a reopen that failed: either way the device is away.
  const bool away = m_port.IsLost() || !m_port.IsOpen();
  if (away && m_bReconnect) {
    m_recovery.Pass(*m_pTrace, stopEvent, [this, stopEvent] {
      m_port.Close();
      return m_port.Open(stopEvent);
    });
    return -1;
  }
  if (away) {
    if (!m_bLossTraced && m_pTrace != nullptr) {
      m_pTrace->TraceStatus(kTraceError,
                            u"Serial port [COM%ld] is no longer there; stop and start the plugin once it is back.",
                            {m_port.m_nPort});
    }
    m_bLossTraced = true;
    // Nothing to read: wait for the stop instead of asking again at once.
    platform::WaitForStop(stopEvent, kReadTimeoutMs);
    return -1;
  }
  m_port.m_nTimeout = kReadTimeoutMs;
  return m_port.ReadLineBytes(line, stopEvent);
}

void SerialLineLink::Close(const TraceWriter& trace) {
  trace.TraceStatus(kTraceProgress, u"Closing serial port...");
  m_port.Purge(false, true);
  m_port.Purge(true, false);
  m_port.Close();
}

int64_t SerialLineLink::LostBelow() const { return m_port.Overruns(); }

}  // namespace vf::links
