#include "embedded_feed.h"

namespace vf::host {

EmbeddedFeed::~EmbeddedFeed() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
}

bool EmbeddedFeed::Start(const vf::sim::FeedSettings& settings, std::string& error) {
  m_server = vf::sim::OpenTcpServer("127.0.0.1", 0, error);
  if (!m_server) return false;
  m_port = m_server->Port();
  m_thread = std::thread([this, settings] { vf::sim::RunFeed(settings, *m_server, m_stop); });
  return true;
}

}  // namespace vf::host
