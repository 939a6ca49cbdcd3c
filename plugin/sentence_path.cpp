#include "plugin/sentence_path.h"

#include "diag/monitor_feed.h"
#include "plugin/record_delivery.h"

namespace vf {

void SentencePath::HandleReceivedLine(std::u16string_view line, const LineContext& context) {
  m_pContext = &context;
  m_receiveLoop.HandleReceivedLine(line, context.pass.verifyChecksums, *this);
  m_pContext = nullptr;
}

void SentencePath::FeedMonitor(std::u16string_view escapedLine) {
  const LineContext& context = *m_pContext;
  vf::FeedMonitor(m_monitor, context.trace, escapedLine, [&context] {
    return context.clock != nullptr ? context.clock->GetTime() + context.pass.timeOffsetMs / 1000.0 : 0.0;
  });
}

void SentencePath::DecodeMessage(std::string_view payload) {
  if (ais::DecodedRecord decoded = ais::DecodeAisPayload(payload)) {
    m_notPosted.Count(DeliverRecord(std::move(decoded), m_pContext->window, m_pContext->clock, m_pContext->pass),
                      m_pContext->trace);
  }
}

}  // namespace vf
