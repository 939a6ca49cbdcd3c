// Command line of the reference host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ais_plugin.h"

namespace vf::host {

struct HostOptions {
  std::string pluginPath;
  double durationSeconds = 0.0;  // 0: start, report, stop
  bool showHelp = false;
  // Configuration fields the user gave; the rest keep the plug-in's values.
  std::optional<int32_t> deviceId, connectionType, serialPort, serialSpeed, serialFormat, socketType, ipPort,
      remoteIpPort, timeOffset, serialTimeout;
  std::optional<std::string> hostAddress;
  std::optional<bool> checksum;
};

// Parses argv; on a bad option returns nothing and sets `error`.
std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& arguments, std::string& error);
std::string HostUsage();

// Applies the options that were given to a configuration.
void ApplyHostOptions(const HostOptions& options, CCfgDevice& config);

}  // namespace vf::host
