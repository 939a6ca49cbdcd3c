// The host's communications monitor reads the received traffic from the
// "AIS.dll" trace; it is fed only while its window is open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "diag/trace_file.h"
#include "diag/trace_writer.h"
#include "platform/text_codec.h"

namespace vf {

// Whether a window titled "Communications Monitor" exists. The monitor may
// open or close at any time, but the lookup takes the system's window list,
// so it is asked again only when the last answer is 250 ms old.
class MonitorWatch {
 public:
  static constexpr uint32_t kRecheckMs = 250;
  bool IsOpen();
  // The wide form of the line being written, kept from line to line.
  std::u16string& Scratch() { return m_strWide; }

 private:
  std::u16string m_strWide;
  bool m_bAsked = false;
  bool m_bOpen = false;
  uint32_t m_nAskedAtMs = 0;
};

// Writes the line's bytes, whose "%" signs are already doubled, as one entry
// of the received-data trace while the monitor is open, stamped with
// receiveTime(). The bytes are read through the code page only then.
template <typename ReceiveTime>
void FeedMonitor(MonitorWatch& monitor, const TraceWriter& trace, std::string_view escapedLine,
                 ReceiveTime&& receiveTime) {
  if (!monitor.IsOpen()) return;
  platform::AnsiToWide(escapedLine, monitor.Scratch());
  trace.WriteTrace(receiveTime(), kTraceReceived, kTraceCategoryReceived, monitor.Scratch());
}

}  // namespace vf
