#include "datapath/record_delivery.h"

#include "diag/trace_file.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/window.h"

namespace vf {

namespace {

// Posts again while the queue stays full, a little later each time, until
// the host takes one, the window goes, the stop comes or the time is up.
bool PostWhenThereIsRoom(HostWindow window, intptr_t record, platform::Handle stopEvent) {
  const uint32_t start = platform::TickCountMs();
  for (uint32_t pauseMs = 1; platform::TickCountMs() - start < kLongestHostWaitMs; pauseMs = pauseMs < 16 ? pauseMs * 2 : 16) {
    if (!platform::WindowExists(window)) return false;
    if (platform::WaitForStop(stopEvent, pauseMs)) return false;
    if (platform::PostToWindow(window, kAisWmUser, kAisRecordWParam, record)) return true;
  }
  return false;
}

}  // namespace

Delivery DeliverRecord(ais::DecodedRecord decoded, HostWindow window, CTimeStamping* clock,
                       const PassSettings& pass, const nmea::MessageOrigin& origin, platform::Handle stopEvent) {
  CRawDataAis& record = *decoded.record;
  record.m_nTimeReceived = static_cast<int32_t>(static_cast<uint32_t>(platform::CalendarTimeSeconds()));
  const double offset = pass.timeOffsetMs / 1000.0;
  const double time = origin.hasTime ? origin.unixSeconds + offset : clock != nullptr ? clock->GetTime() + offset : 0.0;
  if (record.m_nType == 0 || window == nullptr) return Delivery::kNoWindow;
  record.m_dTime = time;
  record.m_dTimeOffset = offset;
  record.m_nDeviceId = pass.deviceId;
  record.m_nContents = static_cast<uint16_t>(decoded.contents | (origin.ownShip ? kContentsOwnShip : 0));
  const auto address = reinterpret_cast<intptr_t>(static_cast<CRawData*>(&record));
  if (platform::PostToWindow(window, kAisWmUser, kAisRecordWParam, address) ||
      (pass.feed.waitForHost && PostWhenThereIsRoom(window, address, stopEvent))) {
    static_cast<void>(decoded.record.release());  // the host owns it now
    return Delivery::kPosted;
  }
  return Delivery::kNotPosted;
}

bool NotPostedCount::TakeLine() {
  const uint32_t now = m_tickMs();
  if (m_bLineWritten && now - m_nLastLineMs < kLineEveryMs) return false;
  m_bLineWritten = true;
  m_nLastLineMs = now;
  return true;
}

void NotPostedCount::Count(Delivery delivery, const TraceWriter& trace) {
  if (delivery == Delivery::kNoWindow) return;
  if (delivery == Delivery::kPosted) {
    // The clock is read only while posting fails: a steady run reads none here.
    if (m_bFailing && TakeLine()) {
      trace.TraceStatus(kTraceSuccess, u"Posting records to the host window works again; %ld could not be posted.",
                        {m_nTotal});
      m_bFailing = false;
    }
    return;
  }
  ++m_nTotal;
  m_bFailing = true;
  if (TakeLine()) {
    trace.TraceStatus(kTraceError,
                      u"Records could not be posted to the host window: %ld so far. Its queue is full: the host "
                      u"must take them faster.",
                      {m_nTotal});
  }
}

void NotPostedCount::EndOfRun(const TraceWriter& trace) {
  if (m_nTotal > 0) {
    trace.TraceStatus(kTraceError, u"%ld records could not be posted to the host window during this run.", {m_nTotal});
  }
  *this = NotPostedCount(m_tickMs);
}

}  // namespace vf
