#include "links/tcp_line_link.h"

#include "diag/trace_file.h"
#include "links/error_text.h"
#include "platform/clock.h"
#include "platform/text_codec.h"

namespace vf::links {
namespace {

constexpr int kConnectAttempts = 3;

}  // namespace

int32_t TcpLineLink::Open(const LinkOpening& opening) {
  const TraceWriter& trace = opening.trace;
  const CCfgDevice& config = opening.config;
  m_pTrace = &trace;
  m_pStopRequested = &opening.stopRequested;
  m_bReconnect = opening.options.reconnect;
  m_client.EndWaitOnRefusal(opening.options.refusalEndsConnectWait);
  if (config.m_strHostAddress.IsEmpty()) {
    trace.TraceStatus(kTraceError, u"Failed to open TCP connection: The destination host name or IP address must be set.");
    return -1;
  }
  if (!IsIpPort(config.m_nIpPort)) {
    trace.TraceStatus(kTraceError,
                      u"Failed to open TCP connection: An invalid TCP port number was supplied. The valid range is (1..65536).");
    return -1;
  }
  trace.TraceStatus(kTraceProgress, u"Opening TCP connection to: [%ls] on port: [%ld]...",
                    {config.m_strHostAddress, config.m_nIpPort});
  m_strHost = platform::WideToAnsi(config.m_strHostAddress.View());
  m_nPort = config.m_nIpPort;
  m_recovery.Start(u"TCP [" + std::u16string(config.m_strHostAddress.View()) + u"] on port [" +
                   platform::AnsiToWide(std::to_string(config.m_nIpPort)) + u"]");
  // A stop ends the attempts: the host must not wait out up to 15 s of them.
  const auto stopping = [this] { return m_pStopRequested->load(); };
  for (int attempt = 0; attempt < kConnectAttempts && !stopping(); ++attempt) {
    const int32_t result = m_client.Connect(m_strHost, m_nPort, stopping);
    if (result == 0) {
      trace.TraceStatus(kTraceSuccess, u"TCP connection established.");
      return 0;
    }
    if (stopping()) return -1;  // cut short by the stop: nothing failed
    CWideString text;
    trace.TraceStatus(kTraceError, u"Failed to open TCP connection: %ls.", {GetErrorText(result, text)});
  }
  if (!opening.options.retryFirstConnect || stopping()) return -1;
  trace.TraceStatus(kTraceProgress, u"The TCP connection is tried again until it opens or the plugin is stopped.");
  m_recovery.NotOpenYet(platform::TickCountMs());
  return 1;
}

int32_t TcpLineLink::Wait(platform::Handle controlEvent, platform::Handle auxEvent) {
  if (m_bReconnect && (m_client.PeerClosed() || m_client.m_bConnected == 0)) {
    // A pass while the connection is lost: -1, as a pass without data.
    const auto stopping = [this] { return m_pStopRequested->load(); };
    m_recovery.Pass(*m_pTrace, controlEvent, [&] {
      m_client.Close();
      return m_client.Connect(m_strHost, m_nPort, stopping);
    });
    return -1;
  }
  return m_client.WaitForData(controlEvent, auxEvent);
}

int32_t TcpLineLink::ReadLine(std::string_view& line, platform::Handle stopEvent) {
  return m_client.ReadLineBytes(line, stopEvent);
}

void TcpLineLink::Close(const TraceWriter& trace) {
  trace.TraceStatus(kTraceProgress, u"Closing TCP session...");
  m_client.Close();
}

}  // namespace vf::links
