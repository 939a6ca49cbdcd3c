// The closing step of every decoded message: the record is stamped and
// posted to the host window, which then owns it.
#pragma once

#include "ais/decoders.h"
#include "ais_plugin.h"
#include "diag/trace_writer.h"
#include "plugin/plugin_run.h"
#include "plugin/time_stamping.h"

namespace vf {

enum class Delivery { kPosted, kNoWindow, kNotPosted };

// Posts only with a window; a record that could not be posted (no window, a
// full queue) is destroyed here, so nothing leaks. Without a clock the time
// stamp is 0.0.
Delivery DeliverRecord(ais::DecodedRecord decoded, HostWindow window, CTimeStamping* clock, const PassSettings& pass);

// The records a run could not post, said in the trace: a line when posting
// starts failing, at most one every few seconds while it fails, one when it
// works again, and the run's total at its end.
class NotPostedCount {
 public:
  void Count(Delivery delivery, const TraceWriter& trace);
  void EndOfRun(const TraceWriter& trace);

 private:
  int64_t m_nTotal = 0;
  bool m_bFailing = false;
  uint32_t m_nLastLineMs = 0;
};

}  // namespace vf
