// The host's communications monitor reads the received traffic from the
// "AIS.dll" trace; it is fed only while its window is open.
#pragma once

#include <string_view>

class CPluginApp;

namespace vf {

// Writes the line, whose "%" signs are already doubled, as one entry of the
// received-data trace when a window titled "Communications Monitor" exists.
void FeedMonitor(CPluginApp& app, std::u16string_view escapedLine);

}  // namespace vf
