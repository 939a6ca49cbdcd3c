// Why a TCP receiver could not be reached, asked again by the host in its
// own words after the plug-in's link failed: the plug-in's trace says
// "timeout" for every way a connection fails.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vf::host {

// What a connection to HOST:PORT meets now: a sentence for the user, or
// empty when it connects (the failure lay elsewhere) or when `abandon` said
// to give up (the user stopped the program: no name server is waited for).
std::string DescribeTcpReach(const std::string& host, uint16_t port, const std::function<bool()>& abandon);

}  // namespace vf::host
