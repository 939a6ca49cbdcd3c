// What the device thread does with each line it reads: the receive loop's
// checks and assembly, the decoders, and the delivery of every record. It
// keeps the fragments that wait for the rest of their message.
#pragma once

#include <string_view>

#include "ais_plugin.h"
#include "diag/monitor_feed.h"
#include "diag/trace_writer.h"
#include "nmea/receive_loop.h"
#include "plugin/plugin_run.h"
#include "plugin/record_delivery.h"
#include "plugin/time_stamping.h"

namespace vf {

// Where one line's results go: the run's trace (for the monitor), the host's
// window, the clock, and the settings of the pass.
struct LineContext {
  const TraceWriter& trace;
  HostWindow window;
  CTimeStamping* clock;
  PassSettings pass;
};

class SentencePath : private nmea::ReceiveSink {
 public:
  void HandleReceivedLine(std::u16string_view line, const LineContext& context);
  // Says in the trace how many records could not be posted during the run.
  void EndOfRun(const TraceWriter& trace) { m_notPosted.EndOfRun(trace); }
  const nmea::FragmentStore& Fragments() const { return m_receiveLoop.m_vecFragments; }

 private:
  void FeedMonitor(std::u16string_view escapedLine) override;
  void DecodeMessage(std::string_view payload, const nmea::MessageOrigin& origin) override;

  nmea::CReceiveLoop m_receiveLoop;
  NotPostedCount m_notPosted;
  MonitorWatch m_monitor;
  const LineContext* m_pContext = nullptr;  // the line's, while it is handled
};

}  // namespace vf
