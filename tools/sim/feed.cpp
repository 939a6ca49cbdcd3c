#include "feed.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vf::sim {
namespace {

using Clock = std::chrono::steady_clock;

// Sleeps until `when` in short slices, so that a stop request is seen soon.
bool WaitUntil(Clock::time_point when, const std::atomic<bool>& stop) {
  while (!stop) {
    const auto now = Clock::now();
    if (now >= when) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(when - now, std::chrono::milliseconds(100)));
  }
  return false;
}

}  // namespace

FeedTotals RunFeed(const FeedSettings& settings, LineOutput& output, const std::atomic<bool>& stop,
                   const FeedObserver& observer, const FeedProgress& progress) {
  Traffic traffic(settings.fleetSize, settings.seed);
  std::mt19937 faultRandom(settings.seed * 2654435761u + 1);
  FeedTotals totals;
  const auto start = Clock::now();
  auto nextProgress = start + std::chrono::seconds(1);
  const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };

  while (!stop) {
    if (settings.transmissions != 0 && totals.transmissions >= settings.transmissions) break;
    const Transmission transmission = traffic.Next();
    const double due = settings.linesPerSecond > 0 ? static_cast<double>(totals.lines) / settings.linesPerSecond
                                                   : transmission.time;
    // A sender that cannot keep the pace still stops on time.
    if (settings.durationSeconds > 0 && std::max(due, elapsed()) >= settings.durationSeconds) break;
    if (!WaitUntil(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due)), stop)) break;

    const std::optional<Fault> fault = settings.faults.Any() ? settings.faults.Draw(faultRandom) : std::nullopt;
    const std::vector<std::string> lines =
        fault ? ApplyFault(*fault, transmission.sentences, faultRandom) : transmission.sentences;
    if (!output.Send(lines, stop)) break;
    ++totals.transmissions;
    totals.lines += lines.size();
    if (fault) {
      ++totals.faults[static_cast<size_t>(*fault)];
      if (LosesMessage(*fault)) ++totals.spoiled;
    }
    if (observer) observer(transmission, fault);
    if (progress && Clock::now() >= nextProgress) {
      totals.seconds = elapsed();
      progress(totals);
      nextProgress += std::chrono::seconds(1);
    }
  }
  totals.seconds = elapsed();
  return totals;
}

}  // namespace vf::sim
