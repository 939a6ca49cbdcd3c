#include "nmea/receive_loop.h"

#include "nmea/sentence_checks.h"
#include "platform/text_codec.h"

namespace vf::nmea {

void CReceiveLoop::HandleReceivedLine(std::u16string_view line, bool verifyChecksums, ReceiveSink& sink) {
  if (line.empty()) return;
  DoublePercentSigns(line, m_strEscapedLine);
  sink.FeedMonitor(m_strEscapedLine);
  platform::WideToAnsi(m_strEscapedLine, m_strNarrowLine);
  if (verifyChecksums && !PassesChecksum(m_strNarrowLine)) return;
  const auto fragment = ParseVdmSentence(m_strNarrowLine);
  if (!fragment) return;
  m_vecFragments.Append(fragment->count, fragment->number, fragment->sequenceId, fragment->payload);
  m_vecFragments.AssembleFragments([&sink](std::string_view payload) { sink.DecodeMessage(payload); });
}

}  // namespace vf::nmea
