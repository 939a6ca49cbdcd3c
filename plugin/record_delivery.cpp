#include "plugin/record_delivery.h"

#include "platform/clock.h"
#include "platform/window.h"

namespace vf {

void DeliverRecord(ais::DecodedRecord decoded, HostWindow window, CTimeStamping* clock, const PassSettings& pass) {
  CRawDataAis& record = *decoded.record;
  record.m_nTimeReceived = static_cast<int32_t>(static_cast<uint32_t>(platform::CalendarTimeSeconds()));
  const double offset = pass.timeOffsetMs / 1000.0;
  const double time = clock != nullptr ? clock->GetTime() + offset : 0.0;
  if (record.m_nType == 0 || window == nullptr) return;
  record.m_dTime = time;
  record.m_dTimeOffset = offset;
  record.m_nDeviceId = pass.deviceId;
  record.m_nContents = decoded.contents;
  if (platform::PostToWindow(window, kAisWmUser, kAisRecordWParam,
                             reinterpret_cast<intptr_t>(static_cast<CRawData*>(&record)))) {
    static_cast<void>(decoded.record.release());  // the host owns it now
  }
}

}  // namespace vf
