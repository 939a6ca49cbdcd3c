// The simulator's traffic with every fault of a radio link, and its lines
// kept, for the tests that hold the plug-in to what was sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "feed.h"

namespace vf::test {

// Each fault kind in `share` of the transmissions, as fast as taken.
inline vf::sim::FeedSettings FaultedFeed(uint32_t seed, uint64_t transmissions, double share) {
  vf::sim::FeedSettings settings;
  settings.fleetSize = 30;
  settings.seed = seed;
  settings.linesPerSecond = 1e7;
  settings.transmissions = transmissions;
  for (double& chance : settings.faults.probability) chance = share;
  // Only messages of two sentences can be interleaved, and they are few.
  settings.faults.probability[static_cast<size_t>(vf::sim::Fault::kInterleaved)] = 0.4;
  return settings;
}

// Every line sent, kept for the test.
class CapturedLines : public vf::sim::LineOutput {
 public:
  bool Send(const std::vector<std::string>& lines, const std::atomic<bool>&) override {
    m_lines.insert(m_lines.end(), lines.begin(), lines.end());
    return true;
  }
  std::string Describe() const override { return "captured lines"; }
  const std::vector<std::string>& Lines() const { return m_lines; }
  // As a receiver sends them: each line ended by CR LF.
  std::string Text() const {
    std::string text;
    for (const std::string& line : m_lines) text += line + "\r\n";
    return text;
  }

 private:
  std::vector<std::string> m_lines;
};

}  // namespace vf::test
