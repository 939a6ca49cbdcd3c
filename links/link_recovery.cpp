#include "links/link_recovery.h"

#include <algorithm>

#include "diag/trace_file.h"
#include "links/error_text.h"
#include "platform/clock.h"
#include "platform/event.h"

namespace vf::links {

bool LinkRecovery::Pass(const TraceWriter& trace, platform::Handle stopEvent, const std::function<int32_t()>& reopen) {
  if (!m_bLost) {
    m_bLost = true;
    m_nDueMs = platform::TickCountMs() + m_nWaitMs;
    trace.TraceStatus(kTraceError, u"Connection lost: %ls; reconnecting in %ld s.",
                      {m_strWhat, m_nWaitMs / 1000});
  }
  const auto left = static_cast<int32_t>(m_nDueMs - platform::TickCountMs());
  if (left > 0) {
    const uint32_t wait = std::min(static_cast<uint32_t>(left), kPassWaitMs);
    platform::WaitForStop(stopEvent, wait);
    return false;
  }
  const int32_t result = reopen();
  if (result == 0) {
    m_bLost = false;
    m_nWaitMs = kFirstWaitMs;
    ++m_nReconnects;
    trace.TraceStatus(kTraceSuccess, u"Reconnected: %ls (reconnect %ld).",
                      {m_strWhat, m_nReconnects});
    return true;
  }
  m_nWaitMs = std::min(m_nWaitMs * 2, kLongestWaitMs);
  m_nDueMs = platform::TickCountMs() + m_nWaitMs;
  CWideString text;
  trace.TraceStatus(kTraceError, u"Reconnecting failed: %ls: %ls; next attempt in %ld s.",
                    {m_strWhat, GetErrorText(result, text), m_nWaitMs / 1000});
  return false;
}

}  // namespace vf::links
