#include "target_record.h"

#include <new>

#include "ais/payload_bits.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "plugin/plugin_app.h"

namespace vf::ais {

TargetRecord NewTargetRecord(std::string_view payload, AisStationClass stationClass) {
  TargetRecord record(new (std::nothrow) CRawDataAis);
  if (!record) return nullptr;
  record->m_nMMSI = ExtractBits(payload, kMmsiField);
  if (record->m_nMMSI == 0) return nullptr;
  record->m_nClass = stationClass;
  return record;
}

void DeliverRecord(CPluginApp& app, TargetRecord record, AisContents contents) {
  record->m_nTimeReceived = static_cast<int32_t>(static_cast<uint32_t>(platform::CalendarTimeSeconds()));
  const double offset = app.TimeOffsetSeconds();
  const double time = app.m_pTimeStamping != nullptr ? app.m_pTimeStamping->GetTime() + offset : 0.0;
  if (record->m_nType == 0 || app.m_hParentWnd == nullptr) return;
  record->m_dTime = time;
  record->m_dTimeOffset = offset;
  record->m_nDeviceId = app.m_cfgDevice.m_nDeviceId;
  record->m_nContents = contents;
  if (platform::PostToWindow(app.m_hParentWnd, kAisWmUser, kAisRecordWParam,
                             reinterpret_cast<intptr_t>(static_cast<CRawData*>(record.get())))) {
    record.release();  // the host owns it now
  }
}

}  // namespace vf::ais
