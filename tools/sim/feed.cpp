#include "feed.h"

#include <algorithm>
#include <chrono>
#include <limits>
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

Clock::duration Seconds(double seconds) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// `halt` follows `stop`, and is also set once the run's duration is over or
// a send has waited the reader wait out: every wait of the run, the one for
// a client included, ends then.
class Watch {
 public:
  Watch(const FeedSettings& settings, const std::atomic<bool>& stop) {
    const auto end = settings.durationSeconds > 0 ? Clock::now() + Seconds(settings.durationSeconds)
                                                   : Clock::time_point::max();
    const auto readerWait = settings.readerWaitSeconds > 0 ? Seconds(settings.readerWaitSeconds) : Clock::duration::max();
    m_watch = std::thread([this, end, readerWait, &stop] {
      while (!m_done && !stop && Clock::now() < end) {
        const Clock::rep since = m_sendingSince;
        if (since != kNotSending && Clock::now() - Clock::time_point(Clock::duration(since)) >= readerWait) {
          readerAway = true;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      halt = true;
    });
  }
  ~Watch() {
    m_done = true;
    m_watch.join();
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  void SendStarts() { m_sendingSince = Clock::now().time_since_epoch().count(); }
  void SendEnds() { m_sendingSince = kNotSending; }

  std::atomic<bool> halt{false};
  std::atomic<bool> readerAway{false};

 private:
  static constexpr Clock::rep kNotSending = std::numeric_limits<Clock::rep>::min();
  std::atomic<Clock::rep> m_sendingSince{kNotSending};
  std::atomic<bool> m_done{false};
  std::thread m_watch;
};

}  // namespace

FeedTotals RunFeed(const FeedSettings& settings, LineOutput& output, const std::atomic<bool>& requestedStop,
                   const FeedObserver& observer, const FeedProgress& progress) {
  std::optional<Watch> watch;
  if (settings.durationSeconds > 0 || settings.readerWaitSeconds > 0) watch.emplace(settings, requestedStop);
  const std::atomic<bool>& stop = watch ? watch->halt : requestedStop;
  Traffic traffic(settings.fleetSize, settings.seed);
  std::mt19937 faultRandom(settings.seed * 2654435761u + 1);
  FeedTotals totals;
  const auto start = Clock::now();
  auto nextProgress = start + std::chrono::seconds(1);
  const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };

  std::optional<Transmission> held;  // waits for a message to interleave with
  const auto send = [&](const std::vector<std::string>& lines) {
    if (watch) watch->SendStarts();
    const bool sent = output.Send(lines, stop);
    if (watch) watch->SendEnds();
    if (sent) totals.lines += lines.size();
    return sent;
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
    if (!WaitUntil(start + Seconds(due), stop)) break;

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
  totals.readerAway = watch && watch->readerAway;
  return totals;
}

}  // namespace vf::sim
