// ais-sim: a fleet's AIS traffic as a receiver would put it out, on stdout, a
// TCP server, UDP or a pseudo-terminal.
#include <csignal>
#include <cstdio>

#include "console.h"
#include "sim_options.h"

namespace {

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }

std::unique_ptr<vf::sim::LineOutput> Open(const vf::sim::SimOptions& options, std::string& error) {
  switch (options.output) {
    case vf::sim::OutputKind::kTcpServer: return vf::sim::OpenTcpServer(options.address, options.port, error);
    case vf::sim::OutputKind::kUdp: return vf::sim::OpenUdpSender(options.address, options.port, error);
    case vf::sim::OutputKind::kPseudoTerminal: return vf::sim::OpenPseudoTerminal(options.linkPath, error);
    case vf::sim::OutputKind::kStdout: break;
  }
  return vf::sim::OpenStdout();
}

std::string Summary(const vf::sim::FeedTotals& totals) {
  std::string text = std::to_string(totals.transmissions) + " transmissions, " + std::to_string(totals.lines) +
                     " lines in " + std::to_string(static_cast<long>(totals.seconds)) + " s";
  for (vf::sim::Fault fault : vf::sim::kAllFaults) {
    const uint64_t count = totals.faults[static_cast<size_t>(fault)];
    if (count != 0) text += ", " + std::string(vf::sim::FaultName(fault)) + " " + std::to_string(count);
  }
  return text + "; " + std::to_string(totals.spoiled) + " messages spoiled";
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = vf::sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "ais-sim: %s\n", error.c_str());
    return 1;
  }
  if (options->showHelp) {
    std::fputs(vf::sim::SimUsage().c_str(), stdout);
    return 0;
  }
  if (options->showVersion) {
    std::printf("%s\n", vf::sim::SimVersion().c_str());
    return 0;
  }
  const auto output = Open(*options, error);
  if (!output) {
    std::fprintf(stderr, "ais-sim: %s\n", error.c_str());
    return 2;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  vf::sim::PrepareStandardStreams();
  std::fprintf(stderr, "ais-sim: %zu stations, seed %u, sending to %s\n", options->feed.fleetSize,
               options->feed.seed, output->Describe().c_str());
  const bool live = vf::sim::ErrorsGoToATerminal();
  const auto totals = vf::sim::RunFeed(options->feed, *output, g_stop, {}, [&](const vf::sim::FeedTotals& so_far) {
    if (live) std::fprintf(stderr, "\rais-sim: %s   ", Summary(so_far).c_str());
  });
  std::fprintf(stderr, "%sais-sim: sent %s\n", live ? "\r" : "", Summary(totals).c_str());
  if (totals.readerAway) {
    std::fprintf(stderr, "ais-sim: nobody took the feed at %s for %g s; stopped (start the receiver sooner, or give a longer --reader-wait)\n",
                 output->Describe().c_str(), options->feed.readerWaitSeconds);
    return 3;
  }
  return 0;
}
