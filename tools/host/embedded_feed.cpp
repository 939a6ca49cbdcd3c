#include "embedded_feed.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "feed.h"
#include "message_encoder.h"
#include "payload_encoder.h"
#include "nmea/sentence_checks.h"
#include "system_access.h"

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

// The lines of a file or pipe as they arrive, in bounded memory: a read
// takes what is there (up to 64 KiB) without waiting for more, so a line
// that came goes on at once; a line longer than any receiver sends keeps its
// first kLineLimit bytes.
class LineReader {
 public:
  static constexpr size_t kLineLimit = 4096;

  explicit LineReader(std::unique_ptr<InputBytes> input) : m_input(std::move(input)) {}

  // Appends the complete lines of the next piece of input (empty lines and
  // "#" comments left out); false at the end of the input (its last line,
  // if any, appended) or on a stop.
  bool Read(std::vector<std::string>& lines, const std::atomic<bool>& stop) {
    char chunk[1 << 16];
    const size_t got = m_input->Read(chunk, sizeof chunk, stop);
    if (got == 0) {
      if (!stop) Keep(lines);
      return false;
    }
    for (const char c : std::string_view(chunk, got)) {
      if (c == '\n' || c == '\r') {
        Keep(lines);
      } else if (m_line.size() < kLineLimit) {
        m_line += c;
      }
    }
    return true;
  }

 private:
  void Keep(std::vector<std::string>& lines) {
    if (!m_line.empty() && m_line[0] != '#') lines.push_back(m_line);
    m_line.clear();
  }

  std::unique_ptr<InputBytes> m_input;
  std::string m_line;  // the line read so far
};

// After the last line: a base-station report of an MMSI that no station has
// (all 30 bits set). The plug-in handles lines in order, so when its record
// arrives, every line before it has been handled.
std::string EndOfInputSentence() {
  vf::sim::Vessel marker;
  marker.kind = vf::sim::StationKind::kBaseStation;
  marker.mmsi = kEndOfInputMmsi;
  marker.latitude = 91;  // "not available"
  marker.longitude = 181;
  const vf::sim::EncodedPayload payload = vf::sim::EncodeBaseStationReport(marker, {});
  return vf::sim::VdmSentences(payload.armoured, payload.fillBits, -1, 'A').front();
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
  std::unique_ptr<InputBytes> input = OpenInput(path, error);
  if (!input) return false;
  auto running = std::make_unique<Running>();
  running->server = vf::sim::OpenTcpServer("127.0.0.1", 0, error);
  if (!running->server) return false;
  Running* state = running.get();
  state->thread = std::thread([state, reader = LineReader(std::move(input)), linesPerSecond, ownPace]() mutable {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    double firstTime = -1;
    size_t index = 0;
    std::vector<std::string> incoming, batch;
    const auto send = [&] {
      const bool sent = batch.empty() || state->server->Send(batch, state->stop);
      batch.clear();
      return sent;
    };
    for (bool more = true; more && !state->stop;) {
      incoming.clear();
      more = reader.Read(incoming, state->stop);
      for (std::string& line : incoming) {
        // When the line is due: by its tag block's time, or by the rate.
        double dueSeconds = linesPerSecond > 0 ? static_cast<double>(index) / linesPerSecond : 0;
        ++index;
        if (ownPace) {
          const double time = TagBlockSeconds(line);
          if (time >= 0 && firstTime < 0) firstTime = time;
          dueSeconds = time >= 0 ? time - firstTime : 0;
        }
        const auto due = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dueSeconds));
        if (due > Clock::now() && !send()) break;
        while (due > Clock::now() && !state->stop) {
          std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(100)));
        }
        batch.push_back(std::move(line));
        if (batch.size() >= 256 && !send()) break;
      }
      if (!send()) break;  // the input paused: what came goes out now
    }
    if (!state->stop) {
      batch.push_back(EndOfInputSentence());
      send();
    }
    state->finished = true;
  });
  m_running = std::move(running);
  return true;
}

bool EmbeddedFeed::Finished() const { return m_running && m_running->finished; }

uint16_t EmbeddedFeed::Port() const { return m_running ? m_running->server->Port() : 0; }

}  // namespace vf::host
