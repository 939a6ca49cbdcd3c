// Why a TCP receiver could not be reached, asked again by the host in its
// own words after the plug-in's link failed: the plug-in's trace says
// "timeout" for every way a connection fails.
#pragma once

#include <cstdint>
#include <string>

namespace vf::host {

// What a connection to HOST:PORT meets now: a sentence for the user, or
// empty when it connects (the failure lay elsewhere).
std::string DescribeTcpReach(const std::string& host, uint16_t port);

}  // namespace vf::host
