// Damage a receiver link can do to a transmission, injected at random.
#pragma once

#include <array>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vf::sim {

enum class Fault {
  kBadChecksum,    // the last sentence's checksum is wrong
  kTruncated,      // the last sentence is cut inside its payload, checksum and all
  kLostFragment,   // the last sentence is lost
  kGarbage,        // a line of noise comes before the message
  kOverlong,       // a line longer than any receive buffer comes before it
  kLostFirst,      // the first sentence is lost: the others are orphans
  kSplitChannels,  // the sentences after the first are reported on the other channel
  kShortPayload,   // the payload ends early, with a right checksum and no fill bits
  kInterleaved,    // another message with the same sequence id, on the other channel, between its sentences
};
constexpr size_t kFaultKinds = 9;
constexpr std::array<Fault, kFaultKinds> kAllFaults = {
    Fault::kBadChecksum, Fault::kTruncated,     Fault::kLostFragment, Fault::kGarbage,    Fault::kOverlong,
    Fault::kLostFirst,   Fault::kSplitChannels, Fault::kShortPayload, Fault::kInterleaved};

// "checksum", "truncate", "lose", "garbage", "overlong", "lose-first",
// "channels", "short", "interleave".
std::string_view FaultName(Fault fault);
std::optional<Fault> FaultNamed(std::string_view name);

// The chance of each fault per transmission; at most one fault each.
struct FaultMix {
  std::array<double, kFaultKinds> probability{};
  bool Any() const;
  std::optional<Fault> Draw(std::mt19937& random) const;
};

// The lines to send for a transmission with that fault, and whether its
// message is spoiled (a fault that needs more sentences than it has does
// nothing). kInterleaved needs a second message: see Interleave.
struct FaultedLines {
  std::vector<std::string> lines;
  bool spoiled = false;
};
FaultedLines ApplyFault(Fault fault, std::vector<std::string> sentences, std::mt19937& random);

// The sentences of two multi-sentence messages taken turn about, the second
// moved to the first one's sequence id and to the other channel: both stay
// whole for a receiver that keeps channels apart.
std::vector<std::string> Interleave(const std::vector<std::string>& first, const std::vector<std::string>& second);

}  // namespace vf::sim
