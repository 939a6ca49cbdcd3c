// The closing step of every decoded message: the record is stamped and
// posted to the host window, which then owns it.
#pragma once

#include "ais/decoders.h"
#include "ais_plugin.h"
#include "diag/trace_writer.h"
#include "nmea/receive_loop.h"
#include "platform/clock.h"
#include "platform/handle.h"
#include "datapath/pass_settings.h"
#include "datapath/time_stamping.h"

namespace vf {

enum class Delivery { kPosted, kNoWindow, kNotPosted };

// Posts only with a window; a record that could not be posted (no window, a
// full queue) is destroyed here, so nothing leaks. Without a clock the time
// stamp is 0.0; a tag block's time, when the message came with one, takes
// the clock's place. With "WAITFORHOST" (the default) a full queue is waited
// on, up to kLongestHostWaitMs, until the host takes a message or
// `stopEvent` is set: the link holds what comes meanwhile.
inline constexpr uint32_t kLongestHostWaitMs = 2000;
Delivery DeliverRecord(ais::DecodedRecord decoded, HostWindow window, CTimeStamping* clock, const PassSettings& pass,
                       const nmea::MessageOrigin& origin = {},
                       platform::Handle stopEvent = platform::InvalidHandle());

// The records a run could not post, said in the trace: when posting starts
// failing and while it goes on, when it works again, each with the count so
// far, but at most one such line every 5 s however often it flaps; and the
// run's total at its end.
class NotPostedCount {
 public:
  using TickSource = uint32_t (*)();
  static constexpr uint32_t kLineEveryMs = 5000;

  explicit NotPostedCount(TickSource tickMs = platform::TickCountMs) : m_tickMs(tickMs) {}
  void Count(Delivery delivery, const TraceWriter& trace);
  void EndOfRun(const TraceWriter& trace);
  int64_t Total() const { return m_nTotal; }

 private:
  // Whether a line may be written now (and then one is): the run's first, or
  // one 5 s after the last.
  bool TakeLine();

  TickSource m_tickMs;
  int64_t m_nTotal = 0;
  bool m_bFailing = false;
  bool m_bLineWritten = false;
  uint32_t m_nLastLineMs = 0;
};

}  // namespace vf
