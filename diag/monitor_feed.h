// The host's communications monitor reads the received traffic from the
// "AIS.dll" trace; it is fed only while its window is open.
#pragma once

#include <string_view>

#include "diag/trace_file.h"
#include "diag/trace_writer.h"

namespace vf {

// Whether a window titled "Communications Monitor" exists now: the monitor
// may open or close at any time.
bool MonitorIsOpen();

// Writes the line, whose "%" signs are already doubled, as one entry of the
// received-data trace while the monitor is open, stamped with receiveTime().
template <typename ReceiveTime>
void FeedMonitor(const TraceWriter& trace, std::u16string_view escapedLine, ReceiveTime&& receiveTime) {
  if (!MonitorIsOpen()) return;
  trace.WriteTrace(receiveTime(), kTraceReceived, kTraceCategoryReceived, escapedLine);
}

}  // namespace vf
