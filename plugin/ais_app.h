// The AIS receiver: the generic plug-in frame, the store of sentence
// fragments, and the path from a received line to posted target records.
#pragma once

#include <string>
#include <string_view>

#include "nmea/fragment_store.h"
#include "plugin/plugin_app.h"

class CAISApp : public CPluginApp {
 public:
  explicit CAISApp(vf::ClockSource& clock = vf::ClockSource::System()) : CPluginApp(u"AIS", clock) {}

  // One received line: mirrored to the communications monitor, checked, and
  // if it is a VDM sentence stored as a fragment; every message it completes
  // is decoded and delivered. Bad lines are dropped silently.
  void HandleReceivedLine(std::u16string_view line);

  // Open the configured link and report how it went; close it again.
  void InitDeviceThread() override;
  void ExitDeviceThread() override;
  // One pass: wait for the link, read one line, handle it.
  void RunDeviceThread() override;

  vf::nmea::FragmentStore m_vecFragments;

 private:
  // Scratch text reused from line to line.
  CWideString m_strLine;
  std::u16string m_strEscapedLine;
  std::string m_strNarrowLine;
};
