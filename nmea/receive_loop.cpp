#include "nmea/receive_loop.h"

#include "nmea/sentence_checks.h"
#include "platform/clock.h"

namespace vf::nmea {

void CReceiveLoop::HandleReceivedLine(std::string_view line, const LineRules& rules, ReceiveSink& sink) {
  if (line.empty()) return;
  // The checks read the line with its "%" signs doubled, as the monitor's
  // trace gets it; a line without one (nearly every line) is used as it is.
  std::string_view escaped = line;
  if (line.find('%') != std::string_view::npos) {
    DoublePercentSigns(line, m_strEscapedLine);
    escaped = m_strEscapedLine;
  }
  sink.FeedMonitor(escaped);
  std::string_view sentence = escaped;
  MessageOrigin origin;
  if (rules.tagBlocks) {
    if (const auto tag = SplitTagBlock(sentence)) {
      if (rules.verifyChecksums && !tag->checksumPasses) return sink.Dropped(DropCause::kChecksum, 1);
      sentence = tag->sentence;
      origin.hasTime = rules.tagBlockTime && tag->hasTime;
      origin.unixSeconds = tag->unixSeconds;
    }
  }
  if (rules.verifyChecksums && !PassesChecksum(sentence)) return sink.Dropped(DropCause::kChecksum, 1);
  DropCause rejected{};
  const auto fragment = ParseVdmSentence(sentence, rules.ownShip, &rejected);
  if (!fragment) return sink.Dropped(rejected, 1);
  origin.ownShip = fragment->ownShip;
  // Arrival times are kept, and the clock read, only when fragments age.
  const uint32_t now = rules.fragmentMaxAgeMs > 0 ? platform::TickCountMs() : 0;
  if (rules.joinInOrder) {
    if (const size_t old = rules.fragmentMaxAgeMs > 0 ? m_orderedAssembly.DropOlderThan(now, rules.fragmentMaxAgeMs) : 0) {
      sink.Dropped(DropCause::kFragmentLost, old);
    }
    const size_t unjoined = m_orderedAssembly.Take(*fragment, now, [&](std::string_view payload, int fillBits) {
      origin.fillBits = fillBits;
      sink.DecodeMessage(payload, origin);
    });
    if (unjoined > 0) sink.Dropped(DropCause::kNotJoined, unjoined);
    return;
  }
  size_t lost = rules.fragmentMaxAgeMs > 0 ? m_vecFragments.DropOlderThan(now, rules.fragmentMaxAgeMs) : 0;
  if (m_vecFragments.Append(fragment->count, fragment->number, fragment->sequenceId, fragment->payload, now)) ++lost;
  if (lost > 0) sink.Dropped(DropCause::kFragmentLost, lost);
  m_vecFragments.AssembleFragments([&](std::string_view payload) { sink.DecodeMessage(payload, origin); });
}

}  // namespace vf::nmea
