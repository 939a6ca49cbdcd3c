// The host's built-in receiver: the simulator serving a fleet's traffic on a
// loopback TCP port, from its own thread, for as long as the object lives.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "feed.h"

namespace vf::host {

class EmbeddedFeed {
 public:
  EmbeddedFeed() = default;
  ~EmbeddedFeed();
  EmbeddedFeed(const EmbeddedFeed&) = delete;
  EmbeddedFeed& operator=(const EmbeddedFeed&) = delete;

  // Listens on 127.0.0.1 at a free port and starts sending once the plug-in
  // connects; false with `error` when no port can be had.
  bool Start(const vf::sim::FeedSettings& settings, std::string& error);
  uint16_t Port() const { return m_port; }

 private:
  std::unique_ptr<vf::sim::TcpServerOutput> m_server;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
  uint16_t m_port = 0;
};

}  // namespace vf::host
