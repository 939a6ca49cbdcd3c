// What the device thread does with each line it reads: the receive loop's
// checks and assembly, the decoders, and the delivery of every record. It
// keeps the fragments that wait for the rest of their message.
#pragma once

#include <string_view>

#include "ais_plugin.h"
#include "diag/monitor_feed.h"
#include "diag/trace_writer.h"
#include "nmea/receive_loop.h"
#include "datapath/drop_report.h"
#include "datapath/pass_settings.h"
#include "datapath/record_delivery.h"
#include "datapath/time_stamping.h"

namespace vf {

// Where one line's results go: the run's trace (for the monitor), the host's
// window, the clock, and the settings of the pass.
struct LineContext {
  const TraceWriter& trace;
  HostWindow window;
  CTimeStamping* clock;
  PassSettings pass;
  platform::Handle stopEvent = platform::InvalidHandle();  // ends a wait for room in the host's queue
};

class SentencePath {
 public:
  // `line`: the bytes a link read, without the line end.
  void HandleReceivedLine(std::string_view line, const LineContext& context);
  // Once a pass, line or not: the drop counts, when they are due.
  void Pass(const TraceWriter& trace, const FeedOptions& feed) {
    if (feed.dropCountsEveryMs != 0) m_dropReport.Pass(Drops(), feed, trace);
  }
  // Says in the trace how many records could not be posted during the run,
  // and what was dropped when the option text asks and the run read from its
  // link; the counts start again.
  void EndOfRun(const TraceWriter& trace, const FeedOptions& feed, bool linkWasOpen = true);
  nmea::DropCounts Drops() const;
  // A line read or handled only in part because memory ran out: it is
  // dropped, counted, and said once a run; the next line is read as usual.
  void LineLostForMemory(const TraceWriter& trace);
  // What the link says the system lost below the plug-in in this run so far.
  void NoteLostBelow(int64_t lost) { m_nLostBelow = lost; }
  const nmea::FragmentStore& Fragments() const { return m_receiveLoop.m_vecFragments; }

 private:
  class LineSink;  // one line's results, with that line's context

  nmea::CReceiveLoop m_receiveLoop;
  NotPostedCount m_notPosted;
  int64_t m_nLostBelow = 0;
  nmea::DropCounts m_drops;  // all but the records not posted, which m_notPosted counts
  DropReport m_dropReport;
  MonitorWatch m_monitor;
  bool m_bMemoryLossTraced = false;
};

}  // namespace vf
