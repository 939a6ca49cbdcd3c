#include "datapath/sentence_path.h"

#include "diag/monitor_feed.h"
#include "datapath/record_delivery.h"

#include <new>

namespace vf {
namespace {

nmea::DropCause CauseOf(ais::Rejection rejection) {
  switch (rejection) {
    case ais::Rejection::kBadCharacter: return nmea::DropCause::kPayloadCharacter;
    case ais::Rejection::kBadFillBits: return nmea::DropCause::kFillBits;
    case ais::Rejection::kCutShort: return nmea::DropCause::kPayloadCutShort;
    case ais::Rejection::kNotDecoded:
    case ais::Rejection::kNothingToRecord: break;
  }
  return nmea::DropCause::kPayloadRejected;
}

}  // namespace

class SentencePath::LineSink : public nmea::ReceiveSink {
 public:
  LineSink(SentencePath& path, const LineContext& context) : m_path(path), m_context(context) {}

  void FeedMonitor(std::string_view escapedLine) override {
    vf::FeedMonitor(m_path.m_monitor, m_context.trace, escapedLine, [this] {
      return m_context.clock != nullptr ? m_context.clock->GetTime() + m_context.pass.timeOffsetMs / 1000.0 : 0.0;
    });
  }

  void DecodeMessage(std::string_view payload, const nmea::MessageOrigin& origin) override {
    const FeedOptions& feed = m_context.pass.feed;
    ais::DecodedRecord decoded =
        ais::DecodeAisPayload(payload, {feed.allMessageTypes, feed.wholeBits, origin.fillBits});
    if (!decoded) {
      if (decoded.rejection != ais::Rejection::kNothingToRecord) m_path.m_drops.Add(CauseOf(decoded.rejection));
      return;
    }
    m_path.m_notPosted.Count(DeliverRecord(std::move(decoded), m_context.window, m_context.clock, m_context.pass,
                                           origin, m_context.stopEvent),
                             m_context.trace);
  }

  void Dropped(nmea::DropCause cause, size_t count) override { m_path.m_drops.Add(cause, count); }

 private:
  SentencePath& m_path;
  const LineContext& m_context;
};

void SentencePath::HandleReceivedLine(std::string_view line, const LineContext& context) {
  const FeedOptions& feed = context.pass.feed;
  const nmea::LineRules rules{context.pass.verifyChecksums, feed.tagBlocks, feed.tagBlockTime, feed.ownShip,
                              feed.fragmentMaxAgeMs, feed.wholeBits};
  LineSink sink(*this, context);
  m_receiveLoop.HandleReceivedLine(line, rules, sink);
}

nmea::DropCounts SentencePath::Drops() const {
  nmea::DropCounts counts = m_drops;
  counts.Add(nmea::DropCause::kNotPosted, static_cast<size_t>(m_notPosted.Total()));
  counts.Add(nmea::DropCause::kLostBelow, static_cast<size_t>(m_nLostBelow));
  return counts;
}

void SentencePath::LineLostForMemory(const TraceWriter& trace) {
  m_drops.Add(nmea::DropCause::kNoMemory);
  if (m_bMemoryLossTraced) return;
  m_bMemoryLossTraced = true;
  try {
    trace.TraceStatus(kTraceError, u"A received line was dropped: there was not enough memory to handle it. "
                                   u"Reading goes on; close other programs if this happens again.");
  } catch (const std::bad_alloc&) {  // the count stands for it
  }
}

void SentencePath::EndOfRun(const TraceWriter& trace, const FeedOptions& feed, bool linkWasOpen) {
  m_bMemoryLossTraced = false;
  m_dropReport.EndOfRun(Drops(), feed, trace, linkWasOpen);
  m_notPosted.EndOfRun(trace);
  m_drops = {};
  m_nLostBelow = 0;
}

}  // namespace vf
