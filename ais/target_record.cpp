#include "target_record.h"

#include <new>

#include "ais/payload_bits.h"
#include "ais/record_store.h"

namespace vf::ais {

TargetRecord NewTargetRecord(std::string_view payload, AisStationClass stationClass) {
  TargetRecord record(new (std::nothrow) StoredRecord);
  if (!record) return nullptr;
  record->m_nMMSI = ExtractBits(payload, kMmsiField);
  if (record->m_nMMSI == 0) return nullptr;
  record->m_nClass = stationClass;
  return record;
}

}  // namespace vf::ais
