// The host's built-in receiver: the simulator serving a fleet's traffic, or
// a recording, on a loopback TCP port, from its own thread, for as long as
// the object lives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ais_plugin.h"

namespace vf::host {

// The record that follows a recording's last line: a base-station report of
// MMSI 0x3FFFFFFF (30 bits set: no station has it) with no position. The
// host takes it off the queue without showing it.
constexpr uint32_t kEndOfInputMmsi = 0x3FFFFFFF;
inline bool IsEndOfInputMarker(const CRawDataAis& record) {
  return record.m_nMMSI == kEndOfInputMmsi && record.m_nContents == kContentsBaseStation &&
         record.m_dLatitude == 91.0 && record.m_dLongitude == 181.0;
}

class EmbeddedFeed {
 public:
  EmbeddedFeed();
  ~EmbeddedFeed();
  EmbeddedFeed(const EmbeddedFeed&) = delete;
  EmbeddedFeed& operator=(const EmbeddedFeed&) = delete;

  // Listens on 127.0.0.1 at a free port and starts sending once the plug-in
  // connects (0 sentences per second: the fleet's own pace); false with
  // `error` when it cannot.
  bool Start(size_t vessels, double linesPerSecond, std::string& error);
  // Serves the lines of a recording ("-": standard input) once, as they
  // can be read (a pipe's lines as they come): as fast as the plug-in reads
  // them, at `linesPerSecond`, or, with `ownPace`, at the pace of the tag
  // blocks' c: times; then the end-of-input record's sentence.
  bool StartRecording(const std::string& path, double linesPerSecond, bool ownPace, std::string& error);
  // Whether a recording has been sent to its end, its marker included.
  bool Finished() const;
  uint16_t Port() const;

 private:
  struct Running;
  std::unique_ptr<Running> m_running;
};

}  // namespace vf::host
