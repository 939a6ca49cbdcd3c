// One link of the kinds a configuration selects, as the device thread uses
// it: open (with the trace lines that say why it failed), wait, read a line,
// close. Each kind keeps the state of its run; the objects that talk to the
// system (the serial port, the sockets) are the application's and are lent.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "ais_plugin.h"
#include "config/feed_options.h"
#include "diag/trace_writer.h"
#include "platform/handle.h"

namespace vf::links {

// A configured IP port: 65536 is accepted as the configuration allows it.
constexpr bool IsIpPort(int32_t port) { return port >= 1 && port <= 65536; }

// What an open is given: the configuration, the run's options, its trace,
// and the request to stop, which ends name lookups, connection attempts and
// the serial port's settling wait.
struct LinkOpening {
  const CCfgDevice& config;
  const FeedOptions& options;
  const TraceWriter& trace;
  const std::atomic<bool>& stopRequested;
  platform::Handle stopEvent;
};

class LineLink {
 public:
  virtual ~LineLink() = default;
  // 0 open; -1 not (the reason traced); 1 a TCP connection that failed is
  // tried again from the passes ("RECONNECT=2").
  virtual int32_t Open(const LinkOpening& opening) = 0;
  // 0 data, 1 the control event, 2 the auxiliary event, -1 nothing or failure.
  virtual int32_t Wait(platform::Handle controlEvent, platform::Handle auxEvent) = 0;
  // One line's bytes without its line end, valid until the next read; 0
  // when one was read.
  virtual int32_t ReadLine(std::string_view& line, platform::Handle stopEvent) = 0;
  virtual void Close(const TraceWriter& trace) = 0;
  // What the system lost below the plug-in: datagrams, serial overruns.
  virtual int64_t LostBelow() const { return 0; }
};

}  // namespace vf::links
