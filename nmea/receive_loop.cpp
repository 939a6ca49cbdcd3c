// One pass of the device thread: a line from the link, through the checks,
// into the fragment store, and every completed message to the decoders.
#include "plugin/ais_app.h"

#include "ais/decoders.h"
#include "config/option_text.h"
#include "diag/monitor_feed.h"
#include "nmea/sentence_checks.h"
#include "platform/text_codec.h"

void CAISApp::HandleReceivedLine(std::u16string_view line) {
  if (line.empty()) return;
  vf::nmea::DoublePercentSigns(line, m_strEscapedLine);
  vf::FeedMonitor(*this, m_strEscapedLine);
  vf::platform::WideToAnsi(m_strEscapedLine, m_strNarrowLine);
  if (vf::GetCrcCheck(m_cfgDevice.m_strOptions.View()) == 1 && !vf::nmea::PassesChecksum(m_strNarrowLine)) return;
  const auto fragment = vf::nmea::ParseVdmSentence(m_strNarrowLine);
  if (!fragment) return;
  m_vecFragments.Append(fragment->count, fragment->number, fragment->sequenceId, fragment->payload);
  m_vecFragments.AssembleFragments([this](const char* payload) { vf::ais::DecodeAisPayload(*this, payload); });
}

void CAISApp::RunDeviceThread() {
  if (WaitForDeviceData() != 0) return;
  if (ReadDeviceLine(m_strLine) != 0) return;
  HandleReceivedLine(m_strLine.View());
}
