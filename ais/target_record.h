// Making a target record and handing it to the host.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "ais_plugin.h"

class CPluginApp;

namespace vf::ais {

using TargetRecord = std::unique_ptr<CRawDataAis>;

// A new record of the reporting station, or nothing when it cannot be made
// or the message's MMSI is 0.
TargetRecord NewTargetRecord(std::string_view payload, AisStationClass stationClass);

// Stamps the record and posts it to the host window, which then owns it. A
// record that could not be posted is destroyed here.
void DeliverRecord(CPluginApp& app, TargetRecord record, AisContents contents);

}  // namespace vf::ais
