#include "record_tally.h"

#include <bit>
#include <cstdio>

#include "ais_plugin.h"
#include "record_format.h"

namespace vf::host {
namespace {

constexpr auto kRateWindow = std::chrono::seconds(3);

const char* StatusName(uint32_t status) {
  switch (status) {
    case kStatusStopped: return "plug-in stopped";
    case kStatusRunning: return "plug-in running";
    case kStatusLinkFailed: return "plug-in link failed (status 2)";
  }
  return "plug-in status unknown";
}

}  // namespace

RecordTally::RecordTally(Clock::time_point start) : m_mark(start) {}

void RecordTally::Add(uint16_t contents) {
  ++m_total;
  if ((contents & kContentsOwnShip) != 0) ++m_ownShip;
  const auto kind = static_cast<uint16_t>(contents & ~kContentsOwnShip);
  if (std::has_single_bit(kind) && std::countr_zero(kind) < static_cast<int>(kKinds)) {
    ++m_byKind[static_cast<size_t>(std::countr_zero(kind))];
  } else {
    ++m_unknown;
  }
}

std::string RecordTally::Summary() const {
  std::string text = std::to_string(m_total) + " records";
  const char* separator = ": ";
  for (size_t kind = 0; kind < kKinds; ++kind) {
    if (m_byKind[kind] == 0) continue;
    text += separator + std::to_string(m_byKind[kind]) + " " + ContentsName(static_cast<uint16_t>(1u << kind));
    separator = ", ";
  }
  if (m_unknown > 0) text += separator + std::to_string(m_unknown) + " of an unknown kind";
  if (m_ownShip > 0) text += " (" + std::to_string(m_ownShip) + " of them own ship)";
  if (m_notPosted > 0) text += "; " + std::to_string(m_notPosted) + " not posted";
  return text;
}

std::string RecordTally::StatusLine(uint32_t pluginStatus, Clock::time_point now) {
  // The rate over the last one to three seconds.
  const double seconds = std::chrono::duration<double>(now - m_mark).count();
  if (seconds >= 1) m_rate = static_cast<double>(m_total - m_totalAtMark) / seconds;
  if (now - m_mark >= kRateWindow) {
    m_totalAtMark = m_total;
    m_mark = now;
  }
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.1f/s", m_rate);
  // Status and rate first: a narrow terminal cuts the line's end.
  return std::string(StatusName(pluginStatus)) + "; " + rate + "; " + Summary();
}

}  // namespace vf::host
