#include "embedded_feed.h"

#include <atomic>
#include <thread>

#include "feed.h"

namespace vf::host {

struct EmbeddedFeed::Running {
  std::unique_ptr<vf::sim::TcpServerOutput> server;
  std::atomic<bool> stop{false};
  std::thread thread;
};

EmbeddedFeed::EmbeddedFeed() = default;

EmbeddedFeed::~EmbeddedFeed() {
  if (!m_running) return;
  m_running->stop = true;
  if (m_running->thread.joinable()) m_running->thread.join();
}

bool EmbeddedFeed::Start(size_t vessels, double linesPerSecond, std::string& error) {
  auto running = std::make_unique<Running>();
  running->server = vf::sim::OpenTcpServer("127.0.0.1", 0, error);
  if (!running->server) return false;
  vf::sim::FeedSettings settings;
  settings.fleetSize = vessels;
  settings.linesPerSecond = linesPerSecond;
  Running* state = running.get();
  state->thread = std::thread([state, settings] { vf::sim::RunFeed(settings, *state->server, state->stop); });
  m_running = std::move(running);
  return true;
}

uint16_t EmbeddedFeed::Port() const { return m_running ? m_running->server->Port() : 0; }

}  // namespace vf::host
