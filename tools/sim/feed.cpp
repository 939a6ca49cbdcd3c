#include "feed.h"

#include <algorithm>
#include <chrono>
#include <optional>
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

// `halt` follows `stop`, and is also set once the run's duration is over:
// every wait of the run, the one for a client included, ends then.
class Deadline {
 public:
  Deadline(double seconds, const std::atomic<bool>& stop) {
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    m_watch = std::thread([this, end, &stop] {
      while (!m_done && !stop && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      halt = true;
    });
  }
  ~Deadline() {
    m_done = true;
    m_watch.join();
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  std::atomic<bool> halt{false};

 private:
  std::atomic<bool> m_done{false};
  std::thread m_watch;
};

}  // namespace

FeedTotals RunFeed(const FeedSettings& settings, LineOutput& output, const std::atomic<bool>& requestedStop,
                   const FeedObserver& observer, const FeedProgress& progress) {
  std::optional<Deadline> deadline;
  if (settings.durationSeconds > 0) deadline.emplace(settings.durationSeconds, requestedStop);
  const std::atomic<bool>& stop = deadline ? deadline->halt : requestedStop;
  Traffic traffic(settings.fleetSize, settings.seed);
  std::mt19937 faultRandom(settings.seed * 2654435761u + 1);
  FeedTotals totals;
  const auto start = Clock::now();
  auto nextProgress = start + std::chrono::seconds(1);
  const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };

  std::optional<Transmission> held;  // waits for a message to interleave with
  const auto send = [&](const std::vector<std::string>& lines) {
    if (!output.Send(lines, stop)) return false;
    totals.lines += lines.size();
    return true;
  };
  const auto told = [&](const Transmission& transmission, std::optional<Fault> fault, bool spoiled) {
    ++totals.transmissions;
    if (fault) ++totals.faults[static_cast<size_t>(*fault)];
    if (spoiled) ++totals.spoiled;
    if (observer) observer(transmission, fault, spoiled);
  };

  while (!stop) {
    if (settings.transmissions != 0 && totals.transmissions + (held ? 1 : 0) >= settings.transmissions) break;
    const Transmission transmission = traffic.Next();
    const double due = settings.linesPerSecond > 0 ? static_cast<double>(totals.lines) / settings.linesPerSecond
                                                   : transmission.time;
    // A sender that cannot keep the pace still stops on time.
    if (settings.durationSeconds > 0 && std::max(due, elapsed()) >= settings.durationSeconds) break;
    if (!WaitUntil(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due)), stop)) break;

    std::optional<Fault> fault = settings.faults.Any() ? settings.faults.Draw(faultRandom) : std::nullopt;
    const bool multiSentence = transmission.sentences.size() > 1;
    if (held && multiSentence) {
      if (!send(Interleave(held->sentences, transmission.sentences))) break;
      told(*held, Fault::kInterleaved, false);
      told(transmission, std::nullopt, false);
      held.reset();
    } else if (fault == Fault::kInterleaved && multiSentence && !held) {
      held = transmission;
    } else {
      if (fault == Fault::kInterleaved) fault.reset();  // nothing to interleave it with
      const FaultedLines faulted =
          fault ? ApplyFault(*fault, transmission.sentences, faultRandom) : FaultedLines{transmission.sentences, false};
      if (!send(faulted.lines)) break;
      told(transmission, fault, faulted.spoiled);
    }
    if (progress && Clock::now() >= nextProgress) {
      totals.seconds = elapsed();
      progress(totals);
      nextProgress += std::chrono::seconds(1);
    }
  }
  if (held && send(held->sentences)) told(*held, std::nullopt, false);
  totals.seconds = elapsed();
  return totals;
}

}  // namespace vf::sim
