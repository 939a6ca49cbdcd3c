// Command line of the traffic simulator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "feed.h"

namespace vf::sim {

// How long a run of a given count waits for a reader unless told.
constexpr double kCountedReaderWaitSeconds = 60;

enum class OutputKind { kStdout, kTcpServer, kUdp, kPseudoTerminal };

struct SimOptions {
  FeedSettings feed;
  OutputKind output = OutputKind::kStdout;
  std::string address = "127.0.0.1";  // TCP: where to listen; UDP: where to send
  uint16_t port = 0;
  std::string linkPath;  // pseudo-terminal: where to put a link to it
  bool showHelp = false;
  bool showVersion = false;
};

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& arguments, std::string& error);
std::string SimUsage();
std::string SimVersion();  // "ais-sim 9.1.64.511"

}  // namespace vf::sim
