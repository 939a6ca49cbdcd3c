// Making a target record of the reporting station.
#pragma once

#include <memory>
#include <string_view>

#include "ais_plugin.h"

namespace vf::ais {

using TargetRecord = std::unique_ptr<CRawDataAis>;

// A new record of the reporting station, or nothing when it cannot be made
// or the message's MMSI is 0.
TargetRecord NewTargetRecord(std::string_view payload, AisStationClass stationClass);

}  // namespace vf::ais
