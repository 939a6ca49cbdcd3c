// The simulator's outputs are Linux sockets and terminals; a Windows host
// reads a receiver, or a simulator on another machine.
#include "embedded_feed.h"

namespace vf::host {

struct EmbeddedFeed::Running {};

EmbeddedFeed::EmbeddedFeed() = default;
EmbeddedFeed::~EmbeddedFeed() = default;

bool EmbeddedFeed::Start(size_t, double, std::string& error) {
  error = "the built-in simulator comes with the Linux build only; give a receiver with --tcp, --udp or --serial "
          "(for instance ais-sim --tcp 10110 on a Linux machine)";
  return false;
}

bool EmbeddedFeed::StartRecording(const std::string&, double, bool, std::string& error) {
  error = "recordings are served with the Linux build only; on Windows give a receiver with --tcp, --udp or --serial";
  return false;
}

bool EmbeddedFeed::Finished() const { return false; }

uint16_t EmbeddedFeed::Port() const { return 0; }

}  // namespace vf::host
