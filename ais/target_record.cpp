#include "ais/target_record.h"

#include <new>

#include "ais/record_store.h"

namespace vf::ais {

TargetRecord NewTargetRecord(const PayloadReader& bits, AisStationClass stationClass) {
  TargetRecord record(new (std::nothrow) StoredRecord);
  if (!record) return nullptr;
  record->m_nMMSI = bits.Unsigned(kMmsiField);
  record->m_nClass = stationClass;
  return record;
}

void ReadDimensions(const PayloadReader& bits, const DimensionFields& fields, CRawDataAis& record) {
  record.m_dToBow = bits.Unsigned(fields.toBow);
  record.m_dToStern = bits.Unsigned(fields.toStern);
  record.m_dToPort = bits.Unsigned(fields.toPort);
  record.m_dToStarboard = bits.Unsigned(fields.toStarboard);
}

void ReadPosition(const PayloadReader& bits, BitField longitude, BitField latitude, CRawDataAis& record) {
  record.m_dLongitude = MinutesTenThousandthsToDegrees(bits.Signed(longitude));
  record.m_dLatitude = MinutesTenThousandthsToDegrees(bits.Signed(latitude));
}

}  // namespace vf::ais
