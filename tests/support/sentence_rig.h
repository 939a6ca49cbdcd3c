// The sentence path as the device thread runs it, without threads or links:
// lines in, records posted to the window of the test's choice.
#pragma once

#include <string_view>

#include "datapath/sentence_path.h"

namespace vf::test {

struct SentenceRig {
  explicit SentenceRig(HostWindow window_ = nullptr, vf::ClockSource& source = vf::ClockSource::System())
      : clock(source), window(window_) {
    trace.Open();
    clock.Synchronize();
  }

  // A line's bytes as a link reads them.
  void Feed(std::string_view line) { path.HandleReceivedLine(line, {trace, window, &clock, pass}); }
  // The pass settings that a configuration with this option text gives.
  void SetOptions(std::u16string_view options) {
    CCfgDevice config;
    config.m_strOptions = options;
    pass = vf::PassSettings::Of(config);
  }

  vf::TraceWriter trace{u"AIS"};  // traces once opened, as a run's does
  CTimeStamping clock;
  vf::SentencePath path;
  HostWindow window;
  vf::PassSettings pass;
};

}  // namespace vf::test
