// The message dispatcher and one decoder per supported message type. Each
// takes the whole armoured payload of one message and returns 0 when it
// built a record (posted or not), -1 when it built none.
#pragma once

#include <cstdint>
#include <string_view>

class CPluginApp;

namespace vf::ais {

int32_t DecodeAisPayload(CPluginApp& app, const char* payload);

int32_t DecodePositionReport(CPluginApp& app, std::string_view payload);     // types 1, 2, 3
int32_t DecodeBaseStationReport(CPluginApp& app, std::string_view payload);  // type 4
int32_t DecodeStaticVoyageData(CPluginApp& app, std::string_view payload);   // type 5
int32_t DecodeClassBPosition(CPluginApp& app, std::string_view payload);     // type 18
int32_t DecodeClassBStatic(CPluginApp& app, std::string_view payload);       // type 24

}  // namespace vf::ais
