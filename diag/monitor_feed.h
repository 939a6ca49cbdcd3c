// The host's communications monitor reads the received traffic from the
// "AIS.dll" trace; it is fed only while its window is open.
#pragma once

#include <cstdint>
#include <string_view>

#include "diag/trace_file.h"
#include "diag/trace_writer.h"

namespace vf {

// Whether a window titled "Communications Monitor" exists. The monitor may
// open or close at any time, but the lookup takes the system's window list,
// so it is asked again only when the last answer is 250 ms old.
class MonitorWatch {
 public:
  static constexpr uint32_t kRecheckMs = 250;
  bool IsOpen();

 private:
  bool m_bAsked = false;
  bool m_bOpen = false;
  uint32_t m_nAskedAtMs = 0;
};

// Writes the line, whose "%" signs are already doubled, as one entry of the
// received-data trace while the monitor is open, stamped with receiveTime().
template <typename ReceiveTime>
void FeedMonitor(MonitorWatch& monitor, const TraceWriter& trace, std::u16string_view escapedLine,
                 ReceiveTime&& receiveTime) {
  if (!monitor.IsOpen()) return;
  trace.WriteTrace(receiveTime(), kTraceReceived, kTraceCategoryReceived, escapedLine);
}

}  // namespace vf
