// Damage a receiver link can do to a transmission, injected at random.
#pragma once

#include <array>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vf::sim {

enum class Fault { kBadChecksum, kTruncated, kLostFragment, kGarbage, kOverlong };
constexpr size_t kFaultKinds = 5;
constexpr std::array<Fault, kFaultKinds> kAllFaults = {Fault::kBadChecksum, Fault::kTruncated, Fault::kLostFragment,
                                                       Fault::kGarbage, Fault::kOverlong};

std::string_view FaultName(Fault fault);  // "checksum", "truncate", "lose", "garbage", "overlong"
std::optional<Fault> FaultNamed(std::string_view name);

// Whether the damaged transmission still carries its message: garbage and
// overlong lines come between messages, the others spoil one.
bool LosesMessage(Fault fault);

// The chance of each fault per transmission; at most one fault each.
struct FaultMix {
  std::array<double, kFaultKinds> probability{};
  bool Any() const;
  std::optional<Fault> Draw(std::mt19937& random) const;
};

// The lines to send for a transmission with that fault. A spoiled message is
// spoiled in its last sentence: receivers join the sentences of a message by
// sequence id alone, so a lost first sentence would let its orphaned second
// one complete a later message of the same id.
std::vector<std::string> ApplyFault(Fault fault, std::vector<std::string> sentences, std::mt19937& random);

}  // namespace vf::sim
