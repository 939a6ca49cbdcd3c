#include "embedded_feed.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include "feed.h"
#include "nmea/sentence_checks.h"

namespace vf::host {

struct EmbeddedFeed::Running {
  std::unique_ptr<vf::sim::TcpServerOutput> server;
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::thread thread;
};

namespace {

// A tag block's c: time in seconds, or -1: the plug-in's own reading of it.
double TagBlockSeconds(const std::string& line) {
  const auto tag = vf::nmea::SplitTagBlock(line);
  return tag && tag->hasTime ? tag->unixSeconds : -1;
}

std::vector<std::string> ReadLines(std::istream& in) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

}  // namespace

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

bool EmbeddedFeed::StartRecording(const std::string& path, double linesPerSecond, bool ownPace, std::string& error) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) {
      error = "cannot read the recording " + path;
      return false;
    }
  }
  auto lines = std::make_shared<std::vector<std::string>>(ReadLines(path == "-" ? std::cin : file));
  auto running = std::make_unique<Running>();
  running->server = vf::sim::OpenTcpServer("127.0.0.1", 0, error);
  if (!running->server) return false;
  Running* state = running.get();
  state->thread = std::thread([state, lines, linesPerSecond, ownPace] {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    double firstTime = -1;
    std::vector<std::string> batch;
    for (size_t i = 0; i < lines->size() && !state->stop; ++i) {
      // When the next line is due: by its tag block's time, or by the rate.
      double dueSeconds = linesPerSecond > 0 ? static_cast<double>(i) / linesPerSecond : 0;
      if (ownPace) {
        const double time = TagBlockSeconds((*lines)[i]);
        if (time >= 0 && firstTime < 0) firstTime = time;
        dueSeconds = time >= 0 ? time - firstTime : 0;
      }
      const auto due = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dueSeconds));
      if (due > Clock::now() && !batch.empty()) {
        if (!state->server->Send(batch, state->stop)) return;
        batch.clear();
      }
      while (due > Clock::now() && !state->stop) {
        std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(100)));
      }
      batch.push_back((*lines)[i]);
      if (batch.size() >= 256) {
        if (!state->server->Send(batch, state->stop)) return;
        batch.clear();
      }
    }
    if (!batch.empty()) state->server->Send(batch, state->stop);
    state->finished = true;
  });
  m_running = std::move(running);
  return true;
}

bool EmbeddedFeed::Finished() const { return m_running && m_running->finished; }

uint16_t EmbeddedFeed::Port() const { return m_running ? m_running->server->Port() : 0; }

}  // namespace vf::host
