// Sustained simulator traffic through the started plug-in on loopback TCP and
// UDP: records delivered against transmissions sent, the CPU of the plug-in's
// threads, resident memory at start and end, the cost of a silent link, and
// the highest rate that still loses nothing.
//
//   link_feed_bench [--seconds 60] [--rate 5000] [--link tcp|udp|both] [--idle-seconds 5] [--no-ramp]
//
// Exit code 0 when every target holds: no loss at the rate, a silent link
// under 1% of a core, memory within 5% of where it started.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "feed.h"
#include "payload_encoder.h"
#include "plugin/ais_app.h"
#include "vf_system.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class Link { kTcp, kUdp };
const char* NameOf(Link link) { return link == Link::kTcp ? "TCP" : "UDP"; }

struct Settings {
  double seconds = 60;
  double rate = 5000;
  double idleSeconds = 5;
  std::vector<Link> links = {Link::kTcp, Link::kUdp};
  bool ramp = true;
};

// --- what the process spends ---------------------------------------------

std::set<int> ThreadIds() {
  std::set<int> ids;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] != '.') ids.insert(std::atoi(entry->d_name));
    }
    closedir(tasks);
  }
  return ids;
}

// CPU seconds of the given threads, from the scheduler's nanosecond count.
double CpuSeconds(const std::set<int>& threads) {
  double seconds = 0;
  for (int id : threads) {
    std::ifstream schedstat("/proc/self/task/" + std::to_string(id) + "/schedstat");
    unsigned long long onCpuNs = 0;
    if (schedstat >> onCpuNs) seconds += static_cast<double>(onCpuNs) / 1e9;
  }
  return seconds;
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

uint16_t FreeUdpPort() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  uint16_t port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(s);
  return port;
}

// --- the host side ----------------------------------------------------------

// Takes records off the host window as a host would, and counts them.
class RecordCounter {
 public:
  RecordCounter() : m_window(VfCreateWindow(u"link feed bench")), m_thread([this] { Run(); }) {}
  ~RecordCounter() {
    m_stop = true;
    m_thread.join();
    VfDestroyWindow(m_window);
  }
  HostWindow Window() const { return m_window; }
  uint64_t Count() const { return m_count; }

  // Until `count` records came, none came for `quiet`, or `limit` passed.
  void WaitFor(uint64_t count, std::chrono::milliseconds quiet, std::chrono::milliseconds limit) const {
    const auto end = Clock::now() + limit;
    uint64_t last = Count();
    auto lastChange = Clock::now();
    while (Count() < count && Clock::now() - lastChange < quiet && Clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (Count() != last) {
        last = Count();
        lastChange = Clock::now();
      }
    }
  }

 private:
  void Run() {
    while (!m_stop) {
      VfMessage message{};
      if (VfGetMessage(m_window, &message, 50) != 1) continue;
      if (message.message != kAisWmUser || message.wParam != kAisRecordWParam) continue;
      delete reinterpret_cast<CRawData*>(message.lParam);
      ++m_count;
    }
  }

  HostWindow m_window;
  std::atomic<bool> m_stop{false};
  std::atomic<uint64_t> m_count{0};
  std::thread m_thread;
};

// The plug-in started on a link with the simulator at its other end.
class Bench {
 public:
  explicit Bench(Link link) : m_link(link) {
    m_app.PutParent(m_counter.Window());
    CCfgDevice config;
    std::string error;
    if (link == Link::kTcp) {
      auto server = vf::sim::OpenTcpServer("127.0.0.1", 0, error);
      if (server) {
        config.m_nConnectionType = kConnectionTcpIp;
        config.m_strHostAddress = u"127.0.0.1";
        config.m_nIpPort = server->Port();
        m_output = std::move(server);
      }
    } else {
      const uint16_t port = FreeUdpPort();
      m_output = vf::sim::OpenUdpSender("127.0.0.1", port, error);
      config.m_nConnectionType = kConnectionTcpIp;
      config.m_nSocketType = kSocketUdp;
      config.m_nIpPort = port;
      config.m_strOptions = u"CRC=0;";  // a datagram ends in CR LF, which the checksum test counts
    }
    if (!m_output) {
      std::fprintf(stderr, "link_feed_bench: %s\n", error.c_str());
      std::exit(2);
    }
    m_app.PutConfig(config);
    const std::set<int> before = ThreadIds();
    if (m_app.StartPlugin() != 0) {
      std::fprintf(stderr, "link_feed_bench: the plug-in did not start\n");
      std::exit(2);
    }
    for (int id : ThreadIds()) {
      if (!before.count(id)) m_pluginThreads.insert(id);
    }
    WaitUntilOpen();
  }
  ~Bench() { m_app.StopPlugin(); }

  vf::sim::LineOutput& Output() { return *m_output; }
  const RecordCounter& Counter() const { return m_counter; }
  double PluginCpuSeconds() const { return CpuSeconds(m_pluginThreads); }

 private:
  // Until a probe comes back as a record: the link is open and reading.
  void WaitUntilOpen() {
    const auto probe = vf::sim::VdmSentences("139>Jh501sOcIa0MqLt1j?wp0000", 0, -1, 'A');
    const std::atomic<bool> stop{false};
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (m_counter.Count() == 0) {
      if (Clock::now() > deadline || !m_output->Send(probe, stop)) {
        std::fprintf(stderr, "link_feed_bench: the plug-in's %s link did not open\n", NameOf(m_link));
        std::exit(2);
      }
      m_counter.WaitFor(1, std::chrono::milliseconds(50), std::chrono::milliseconds(50));
    }
    m_counter.WaitFor(UINT64_MAX, std::chrono::milliseconds(200), std::chrono::seconds(2));  // stray probes
  }

  Link m_link;
  RecordCounter m_counter;
  CAISApp m_app;
  std::unique_ptr<vf::sim::LineOutput> m_output;
  std::set<int> m_pluginThreads;
};

// --- the runs ---------------------------------------------------------------

struct FeedResult {
  uint64_t transmissions = 0, lines = 0, records = 0;
  double seconds = 0, sendSeconds = 0, cpuShare = 0;
  long rssStartKb = 0, rssEndKb = 0;
  uint64_t Lost() const { return transmissions > records ? transmissions - records : 0; }
};

FeedResult Feed(Link link, double rate, double seconds, bool showProgress) {
  Bench bench(link);
  const uint64_t baseline = bench.Counter().Count();
  vf::sim::FeedSettings feed;
  feed.fleetSize = 300;
  feed.seed = 17;
  feed.linesPerSecond = rate;
  feed.durationSeconds = seconds;
  FeedResult result;
  const double cpuStart = bench.PluginCpuSeconds();
  const auto start = Clock::now();
  const std::atomic<bool> stop{false};
  const auto totals = vf::sim::RunFeed(feed, bench.Output(), stop, {}, [&](const vf::sim::FeedTotals& soFar) {
    // Memory is compared from the first second on, once buffers and queues
    // have reached their working size.
    if (result.rssStartKb == 0) result.rssStartKb = ResidentKilobytes();
    if (showProgress) {
      std::fprintf(stderr, "\r  %s %.0f/s: %3.0f s, %llu lines sent, %llu records   ", NameOf(link), rate, soFar.seconds,
                   static_cast<unsigned long long>(soFar.lines),
                   static_cast<unsigned long long>(bench.Counter().Count() - baseline));
    }
  });
  // A record still on its way this long after the feed ended counts as lost.
  bench.Counter().WaitFor(baseline + totals.transmissions, std::chrono::seconds(2), std::chrono::seconds(5));
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.cpuShare = (bench.PluginCpuSeconds() - cpuStart) / result.seconds;
  result.rssEndKb = ResidentKilobytes();
  result.transmissions = totals.transmissions;
  result.lines = totals.lines;
  result.sendSeconds = totals.seconds;
  result.records = bench.Counter().Count() - baseline;
  if (showProgress) std::fprintf(stderr, "\r%78s\r", "");
  return result;
}

double IdleCpuShare(Link link, double seconds) {
  Bench bench(link);
  const double cpuStart = bench.PluginCpuSeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return (bench.PluginCpuSeconds() - cpuStart) / std::chrono::duration<double>(Clock::now() - start).count();
}

// Doubles the rate from the sustained one while nothing is lost.
double HighestLosslessRate(Link link, double from) {
  double lossless = 0;
  for (double rate = from; rate <= 1'280'000; rate *= 2) {
    const FeedResult result = Feed(link, rate, 3, false);
    const double achieved = static_cast<double>(result.lines) / result.sendSeconds;
    std::printf("    %8.0f lines/s asked, %8.0f sent, %llu lost\n", rate, achieved,
                static_cast<unsigned long long>(result.Lost()));
    if (result.Lost() != 0) break;
    lossless = achieved;
    if (achieved < rate * 0.9) break;  // the sender is the limit now
  }
  return lossless;
}

bool ParseArguments(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (name == "--no-ramp") {
      settings.ramp = false;
    } else if (value != nullptr && name == "--seconds") {
      settings.seconds = std::atof(argv[++i]);
    } else if (value != nullptr && name == "--rate") {
      settings.rate = std::atof(argv[++i]);
    } else if (value != nullptr && name == "--idle-seconds") {
      settings.idleSeconds = std::atof(argv[++i]);
    } else if (value != nullptr && name == "--link") {
      const std::string link = argv[++i];
      if (link == "tcp") settings.links = {Link::kTcp};
      else if (link == "udp") settings.links = {Link::kUdp};
      else if (link != "both") return false;
    } else {
      return false;
    }
  }
  return settings.seconds > 0 && settings.rate > 0 && settings.idleSeconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // progress lines as they come, also into a pipe
  Settings settings;
  if (!ParseArguments(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: link_feed_bench [--seconds S] [--rate LINES_PER_S] [--link tcp|udp|both] "
                 "[--idle-seconds S] [--no-ramp]\n");
    return 1;
  }
  // A private trace folder that does not exist: the plug-in writes no files.
  const std::string scratch = "/tmp/link-feed-bench-" + std::to_string(getpid());
  setenv("PROGRAMDATA", scratch.c_str(), 1);
  setenv("VF_OBJECT_NAMESPACE", scratch.c_str() + 5, 1);

  bool targetsMet = true;
  for (Link link : settings.links) {
    std::printf("%s, %.0f lines/s for %.0f s:\n", NameOf(link), settings.rate, settings.seconds);
    const FeedResult sustained = Feed(link, settings.rate, settings.seconds, isatty(STDERR_FILENO) != 0);
    const double growth = sustained.rssStartKb > 0
                              ? 100.0 * static_cast<double>(sustained.rssEndKb - sustained.rssStartKb) /
                                    static_cast<double>(sustained.rssStartKb)
                              : 0;
    std::printf("  %llu lines, %llu messages sent, %llu records delivered, %llu lost\n",
                static_cast<unsigned long long>(sustained.lines),
                static_cast<unsigned long long>(sustained.transmissions),
                static_cast<unsigned long long>(sustained.records), static_cast<unsigned long long>(sustained.Lost()));
    std::printf("  plug-in threads: %.2f%% of a core\n", 100 * sustained.cpuShare);
    std::printf("  resident memory: %ld kB after the first second, %ld kB at the end (%+.1f%%)\n", sustained.rssStartKb,
                sustained.rssEndKb, growth);
    const double idle = IdleCpuShare(link, settings.idleSeconds);
    std::printf("  silent link for %.0f s: %.3f%% of a core\n", settings.idleSeconds, 100 * idle);
    if (settings.ramp) {
      std::printf("  highest rate without loss:\n");
      std::printf("  => %.0f lines/s\n", HighestLosslessRate(link, settings.rate));
    }
    const bool met = sustained.Lost() == 0 && idle < 0.01 && growth <= 5.0;
    std::printf("  targets (no loss, idle under 1%%, memory within 5%%): %s\n", met ? "met" : "NOT MET");
    targetsMet = targetsMet && met;
  }
  return targetsMet ? 0 : 1;
}
