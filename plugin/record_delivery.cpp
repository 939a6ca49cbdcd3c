#include "plugin/record_delivery.h"

#include "diag/trace_file.h"
#include "platform/clock.h"
#include "platform/window.h"

namespace vf {

Delivery DeliverRecord(ais::DecodedRecord decoded, HostWindow window, CTimeStamping* clock,
                       const PassSettings& pass) {
  CRawDataAis& record = *decoded.record;
  record.m_nTimeReceived = static_cast<int32_t>(static_cast<uint32_t>(platform::CalendarTimeSeconds()));
  const double offset = pass.timeOffsetMs / 1000.0;
  const double time = clock != nullptr ? clock->GetTime() + offset : 0.0;
  if (record.m_nType == 0 || window == nullptr) return Delivery::kNoWindow;
  record.m_dTime = time;
  record.m_dTimeOffset = offset;
  record.m_nDeviceId = pass.deviceId;
  record.m_nContents = decoded.contents;
  if (platform::PostToWindow(window, kAisWmUser, kAisRecordWParam,
                             reinterpret_cast<intptr_t>(static_cast<CRawData*>(&record)))) {
    static_cast<void>(decoded.record.release());  // the host owns it now
    return Delivery::kPosted;
  }
  return Delivery::kNotPosted;
}

namespace {

constexpr uint32_t kNotPostedLineEveryMs = 5000;

}  // namespace

void NotPostedCount::Count(Delivery delivery, const TraceWriter& trace) {
  if (delivery == Delivery::kNoWindow) return;
  if (delivery == Delivery::kPosted) {
    if (m_bFailing) {
      trace.TraceStatus(kTraceSuccess, u"Posting records to the host window works again; %ld could not be posted.",
                        {m_nTotal});
    }
    m_bFailing = false;
    return;
  }
  ++m_nTotal;
  const uint32_t now = platform::TickCountMs();  // only on the failing path: a posted record reads no clock
  if (!m_bFailing || now - m_nLastLineMs >= kNotPostedLineEveryMs) {
    trace.TraceStatus(kTraceError,
                      u"Records could not be posted to the host window: %ld so far. Its queue is full: the host "
                      u"must take them faster.",
                      {m_nTotal});
    m_nLastLineMs = now;
  }
  m_bFailing = true;
}

void NotPostedCount::EndOfRun(const TraceWriter& trace) {
  if (m_nTotal > 0) {
    trace.TraceStatus(kTraceError, u"%ld records could not be posted to the host window during this run.", {m_nTotal});
  }
  *this = NotPostedCount{};
}

}  // namespace vf
