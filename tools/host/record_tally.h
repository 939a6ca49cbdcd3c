// Counts of the records a host received, per kind, and the live status line
// built from them.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

namespace vf::host {

class RecordTally {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RecordTally(Clock::time_point start = Clock::now());

  void Add(uint16_t contents);
  uint64_t Total() const { return m_total; }
  // The records the plug-in said it could not post (its trace).
  void SetNotPosted(int64_t count) { m_notPosted = count; }

  // "plug-in running; 18.2/s; 1234 records: 800 position, 20 base station, ..."
  // with the rate over the last few seconds.
  std::string StatusLine(uint32_t pluginStatus, Clock::time_point now = Clock::now());
  // "1234 records: 800 position, ..." for the end of a run.
  std::string Summary() const;

 private:
  static constexpr size_t kKinds = 10;  // the record contents bits, lowest first
  std::array<uint64_t, kKinds> m_byKind{};
  uint64_t m_unknown = 0;  // no kind bit, or several
  uint64_t m_ownShip = 0;  // of any kind
  uint64_t m_total = 0;
  int64_t m_notPosted = 0;
  uint64_t m_totalAtMark = 0;
  Clock::time_point m_mark;
  double m_rate = 0;
};

}  // namespace vf::host
