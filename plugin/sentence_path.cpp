#include "plugin/sentence_path.h"

#include "diag/monitor_feed.h"
#include "plugin/record_delivery.h"

namespace vf {

void SentencePath::HandleReceivedLine(std::u16string_view line, const LineContext& context) {
  m_pContext = &context;
  const FeedOptions& feed = context.pass.feed;
  const nmea::LineRules rules{context.pass.verifyChecksums, feed.tagBlocks, feed.tagBlockTime, feed.ownShip,
                              feed.fragmentMaxAgeMs};
  m_receiveLoop.HandleReceivedLine(line, rules, *this);
  m_pContext = nullptr;
}

void SentencePath::FeedMonitor(std::u16string_view escapedLine) {
  const LineContext& context = *m_pContext;
  vf::FeedMonitor(m_monitor, context.trace, escapedLine, [&context] {
    return context.clock != nullptr ? context.clock->GetTime() + context.pass.timeOffsetMs / 1000.0 : 0.0;
  });
}

void SentencePath::DecodeMessage(std::string_view payload, const nmea::MessageOrigin& origin) {
  const LineContext& context = *m_pContext;
  ais::DecodedRecord decoded = ais::DecodeAisPayload(payload, context.pass.feed.allMessageTypes);
  if (!decoded) return m_drops.Add(nmea::DropCause::kPayloadRejected);
  m_notPosted.Count(DeliverRecord(std::move(decoded), context.window, context.clock, context.pass, origin),
                    context.trace);
}

nmea::DropCounts SentencePath::Drops() const {
  nmea::DropCounts counts = m_drops;
  counts.Add(nmea::DropCause::kNotPosted, static_cast<size_t>(m_notPosted.Total()));
  return counts;
}

void SentencePath::EndOfRun(const TraceWriter& trace, const FeedOptions& feed) {
  m_dropReport.EndOfRun(Drops(), feed, trace);
  m_notPosted.EndOfRun(trace);
  m_drops = {};
}

}  // namespace vf
