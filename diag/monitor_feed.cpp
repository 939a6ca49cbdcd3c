#include "monitor_feed.h"

#include "ais_plugin.h"
#include "platform/clock.h"
#include "platform/window.h"

namespace vf {

bool MonitorWatch::IsOpen() {
  const uint32_t now = platform::TickCountMs();
  if (!m_bAsked || now - m_nAskedAtMs >= kRecheckMs) {
    m_bOpen = platform::TopLevelWindowExists(kAisMonitorTitle);
    m_bAsked = true;
    m_nAskedAtMs = now;
  }
  return m_bOpen;
}

}  // namespace vf
