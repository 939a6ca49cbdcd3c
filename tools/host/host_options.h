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
  double durationSeconds = 0.0;  // 0: until Ctrl-C
  bool showHelp = false;
  bool showVersion = false;
  bool json = false;        // JSON Lines instead of readable lines
  bool gpsdJson = false;    // those lines as gpsdecode -j prints them
  bool quiet = false;       // no line per record, only the counts
  double countsEverySeconds = 0;  // > 0: the counts as a line of their own this often
  bool monitor = false;     // open a "Communications Monitor" window
  bool configure = false;   // the plug-in's dialog before starting
  bool noStart = false;     // print the configuration record and exit
  bool simulate = false;    // the built-in simulator, whatever standard input is
  size_t vessels = 20;      // the built-in simulator's fleet
  std::optional<std::string> recording;  // a file of NMEA lines to serve instead ("-": standard input)
  double replayRate = 0;    // its lines per second; 0: as fast as the plug-in reads
  bool ownPace = false;     // at the pace of its tag blocks' times
  double simulatorRate = 0;  // its sentences per second; 0: the fleet's own pace
  // Configuration fields the user gave; the rest keep the plug-in's values.
  std::optional<int32_t> deviceId, connectionType, serialPort, serialSpeed, serialFormat, socketType, ipPort,
      remoteIpPort, timeOffset, serialTimeout;
  std::optional<std::string> hostAddress;
  std::optional<std::string> serialDevice;  // a device path, mapped to a COM number for the plug-in
  std::optional<bool> checksum;
  std::optional<std::string> optionText;  // entries added to the configuration's option text
};

// Parses argv; on a bad option returns nothing and sets `error`.
std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& arguments, std::string& error);
std::string HostUsage();
std::string HostVersion();  // "ais-host 9.1.64.511"

// No receiver or recording named (and more asked than the dialog or the
// record): the host feeds the plug-in from its built-in simulator when asked
// (--simulate, --vessels, --sim-rate) or when standard input is a terminal;
// otherwise it reads standard input, as gpsdecode does.
bool UsesBuiltInSimulator(const HostOptions& options, bool standardInputIsTerminal = true);
bool ReadsStandardInput(const HostOptions& options, bool standardInputIsTerminal);

// Applies the options that were given to a configuration.
void ApplyHostOptions(const HostOptions& options, CCfgDevice& config);

}  // namespace vf::host
