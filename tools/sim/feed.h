// Paces a fleet's traffic onto an output, with faults injected, until a
// count, a duration or a stop request ends it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "faults.h"
#include "line_output.h"
#include "traffic.h"

namespace vf::sim {

struct FeedSettings {
  size_t fleetSize = 20;
  uint32_t seed = 1;
  double linesPerSecond = 0;  // 0: the fleet's own pace, in real time
  double durationSeconds = 0;  // 0: no limit
  uint64_t transmissions = 0;  // 0: no limit
  double readerWaitSeconds = 0;  // the longest a send waits for a reader to take it; 0: no limit
  FaultMix faults;
};

struct FeedTotals {
  uint64_t transmissions = 0;
  uint64_t lines = 0;
  uint64_t spoiled = 0;  // transmissions whose message a fault destroyed
  std::array<uint64_t, kFaultKinds> faults{};
  double seconds = 0;
  bool readerAway = false;  // ended because no reader took a send within the reader wait
};

// Called for each transmission as it is sent, with its fault if any and
// whether that fault spoiled its message. A transmission drawn for
// kInterleaved waits for the next one of more than one sentence and goes
// with it: both are then told in the order their messages complete.
using FeedObserver = std::function<void(const Transmission&, std::optional<Fault>, bool spoiled)>;
// Called about once a second with the totals so far.
using FeedProgress = std::function<void(const FeedTotals&)>;

FeedTotals RunFeed(const FeedSettings& settings, LineOutput& output, const std::atomic<bool>& stop,
                   const FeedObserver& observer = {}, const FeedProgress& progress = {});

}  // namespace vf::sim
