#include "target_record.h"

#include <new>

#include "ais/payload_bits.h"

namespace vf::ais {

TargetRecord NewTargetRecord(std::string_view payload, AisStationClass stationClass) {
  TargetRecord record(new (std::nothrow) CRawDataAis);
  if (!record) return nullptr;
  record->m_nMMSI = ExtractBits(payload, kMmsiField);
  if (record->m_nMMSI == 0) return nullptr;
  record->m_nClass = stationClass;
  return record;
}

}  // namespace vf::ais
