#include "datapath/drop_report.h"

#include "diag/trace_file.h"

namespace vf {
namespace {

void TraceCounts(const TraceWriter& trace, std::u16string_view when, const nmea::DropCounts& counts) {
  using nmea::DropCause;
  trace.TraceStatus(kTraceProgress,
                    u"Dropped %ls: %ld with a wrong checksum, %ld not VDM, %ld malformed, %ld fragments out of "
                    u"range, %ld fragments pushed out or expired, %ld payloads not decoded, %ld records not posted, "
                    u"%ld sentences of messages not received whole, %ld payloads cut short, %ld payloads with a "
                    u"character outside the armour, %ld with a wrong fill-bit count, %ld lost below the plug-in, %ld "
                    u"lines dropped for want of memory.",
                    {when, counts[DropCause::kChecksum], counts[DropCause::kNotVdm], counts[DropCause::kMalformed],
                     counts[DropCause::kFragmentOutOfRange], counts[DropCause::kFragmentLost],
                     counts[DropCause::kPayloadRejected], counts[DropCause::kNotPosted], counts[DropCause::kNotJoined],
                     counts[DropCause::kPayloadCutShort], counts[DropCause::kPayloadCharacter],
                     counts[DropCause::kFillBits], counts[DropCause::kLostBelow], counts[DropCause::kNoMemory]});
}

}  // namespace

void DropReport::Pass(const nmea::DropCounts& counts, const FeedOptions& feed, const TraceWriter& trace) {
  if (feed.dropCountsEveryMs == 0) return;
  const uint32_t now = m_tickMs();
  if (!m_bStarted) {
    m_bStarted = true;
    m_nLastLineMs = now;
    return;
  }
  if (now - m_nLastLineMs < feed.dropCountsEveryMs) return;
  m_nLastLineMs = now;
  TraceCounts(trace, u"so far", counts);
}

void DropReport::EndOfRun(const nmea::DropCounts& counts, const FeedOptions& feed, const TraceWriter& trace,
                          bool linkWasOpen) {
  if (feed.dropCounts && linkWasOpen) TraceCounts(trace, u"during this run", counts);
  m_bStarted = false;
}

}  // namespace vf
