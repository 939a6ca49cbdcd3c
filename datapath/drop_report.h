// The sentence path's drop counts in the status trace, when the option text
// asks for them: every so many seconds while a run goes on, and once at its end.
#pragma once

#include <cstdint>

#include "config/feed_options.h"
#include "diag/trace_writer.h"
#include "nmea/drop_counts.h"
#include "platform/clock.h"

namespace vf {

class DropReport {
 public:
  using TickSource = uint32_t (*)();

  explicit DropReport(TickSource tickMs = platform::TickCountMs) : m_tickMs(tickMs) {}
  // Called on every pass; reads the clock only when periodic lines are asked for.
  void Pass(const nmea::DropCounts& counts, const FeedOptions& feed, const TraceWriter& trace);
  // A run whose link never opened read nothing, and says nothing.
  void EndOfRun(const nmea::DropCounts& counts, const FeedOptions& feed, const TraceWriter& trace,
                bool linkWasOpen = true);

 private:
  TickSource m_tickMs;
  bool m_bStarted = false;
  uint32_t m_nLastLineMs = 0;
};

}  // namespace vf
