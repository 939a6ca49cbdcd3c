// Links that come back from every fault: seeded schedules of a receiver that
// goes away and comes back, reads that fail or come short, names that do
// not resolve, connections refused or silent, a host window that fills,
// allocations that fail and host threads that start and stop, each played
// in virtual time against the real plug-in. On every schedule: no busy loop,
// the reopen attempts come when the trace says, the link comes back within
// one back-off of the receiver, every line that arrived whole is one record
// and in order and no record is made of anything else, the status is right,
// a stop ends the threads at once, and nothing is left open or held.
//
// Each test runs 3,400 schedules of its link kind (200 in a sanitizer or
// debug build);
// SIMULATION_SCHEDULES=N runs N instead, SIMULATION_SEED=S replays one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <regex>
#include <string>
#include <vector>

#include "payload_encoder.h"
#include "plugin/ais_app.h"
#include "simulation/virtual_system.h"
#include "support/failing_allocator.h"

namespace {

// Allocations on the plug-in's threads fail as the schedule says.
bool ScheduleSaysFail(size_t) {
  vf::sim::VirtualSystem* world = vf::sim::VirtualSystem::Current();
  return world != nullptr && !vf::sim::VirtualSystem::InSimulation() && world->AllocationFails();
}
[[maybe_unused]] const bool g_hooked = (vf::test::g_allocationFails = ScheduleSaysFail, true);

}  // namespace

namespace {

using vf::sim::Faults;
using vf::sim::kNever;
using vf::sim::LinkKind;
using vf::sim::SentLine;
using vf::sim::VirtualSystem;

constexpr uint32_t kFirstMmsi = 201000000;
constexpr uint64_t kStopWithinMs = 100;
constexpr uint64_t kPassSlackMs = 600;     // a pass waits at most 500 ms before it looks again
constexpr uint64_t kLongestBackOffMs = 30000;
constexpr uint64_t kQuietCallsPerSecond = 300;  // a host that starts and stops twice in a second makes about 100

// A position report of its own MMSI for each line, so a record names its line.
std::string LineOf(uint32_t id) {
  vf::sim::PayloadWriter w;
  w.Put(1, 6).Put(0, 2).Put(kFirstMmsi + id, 30).Put(0, 4).PutSigned(-128, 8).Put(1023, 10).Put(0, 1);
  w.Put(0x6791AC0, 28).Put(0x3412140, 27).Put(3600, 12).Put(511, 9).Put(60, 6).Put(0, 2).Put(0, 3).Put(0, 1);
  w.Put(0, 19);
  return vf::sim::VdmSentences(w.Armoured(), 0, -1, 'A')[0] + "\r\n";
}

struct Schedule {
  uint64_t seed;
  LinkKind kind;
  uint64_t endMs;
  std::vector<SentLine> lines;
  std::vector<std::pair<uint64_t, uint64_t>> away;
  Faults faults;
  std::u16string options;
  uint64_t restartAtMs = kNever;     // a stop and a start again
  uint64_t newConfigAtMs = kNever;   // a configuration given while running
  bool secondHostThread = false;     // another host thread starts and stops too
  bool udpPeer = false;              // a UDP session with a remote port
  uint64_t drainEveryMs = 1000;
};

Schedule MakeSchedule(uint64_t seed, LinkKind kind) {
  std::mt19937_64 random(seed);
  const auto pick = [&](uint64_t below) { return below == 0 ? 0 : random() % below; };
  const auto maybe = [&](int perMille, int upTo) { return pick(2) == 0 ? 0 : perMille + static_cast<int>(pick(static_cast<uint64_t>(upTo))); };
  Schedule s{seed, kind, 20000 + pick(70000), {}, {}, {}, {}};
  // The receiver away 0 to 3 times, for up to 45 s each.
  for (uint64_t at = 500 + pick(8000); at < s.endMs && s.away.size() < 3; at += 1000 + pick(30000)) {
    const uint64_t length = 200 + pick(pick(2) == 0 ? 8000 : 45000);
    s.away.push_back({at, at + length});
    at += length;
  }
  uint32_t id = 0;
  for (uint64_t at = 100 + pick(500); at < s.endMs; at += 20 + pick(pick(4) == 0 ? 3000 : 600)) {
    SentLine line;
    line.bytes = LineOf(id);
    line.id = id++;
    line.atMs = line.restMs = at;
    line.split = line.bytes.size();
    if (kind == LinkKind::kUdp) {
      line.datagramStart = s.lines.empty() || pick(3) != 0;
      if (!line.datagramStart) line.atMs = line.restMs = s.lines.back().atMs;
    } else if (pick(20) == 0) {  // a line whose end comes later, or very late
      line.split = 1 + pick(line.bytes.size() - 1);
      line.restMs = at + 1 + pick(pick(3) == 0 ? 3000 : 300);
      at = line.restMs;
    }
    const bool away = std::any_of(s.away.begin(), s.away.end(), [&](const auto& a) {
      return line.restMs >= a.first && line.atMs < a.second;
    });
    if (!away) s.lines.push_back(line);  // nobody sends while the receiver is away
  }
  Faults& f = s.faults;
  f.zeroRead = maybe(1, 100);
  f.shortRead = maybe(1, 300);
  f.readError = maybe(1, 10);
  f.openRefused = maybe(1, 300);
  f.lookupFail = maybe(1, 300);
  f.lookupSlow = maybe(1, 100);
  f.connectTimeout = maybe(1, 200);
  f.datagramError = maybe(1, 50);
  f.traceWriteFail = maybe(1, 200);
  f.noResources = pick(4) == 0 ? maybe(1, 100) : 0;
  if (pick(4) == 0) f.allocFail = 20 + static_cast<int>(pick(2000));
  if (pick(5) == 0) {
    f.windowRoom = 1 + pick(20);
    s.drainEveryMs = 50 + pick(500);
  }
  if (kind == LinkKind::kTcp && pick(2) == 0) s.options = u"RECONNECT=2;";
  if (pick(3) == 0) s.options += u"COUNTS=" + std::u16string(1, static_cast<char16_t>(u'1' + pick(9))) + u";";
  if (kind == LinkKind::kUdp) {  // the receiver named: as a remote peer, the bound address, the one source
    s.udpPeer = pick(3) == 0;
    if (pick(3) == 0) s.options += u"UDPBIND=receiver.example;";
    if (pick(3) == 0) s.options += u"UDPSOURCES=receiver.example;";
  }
  if (pick(4) == 0) s.restartAtMs = pick(s.endMs);
  if (pick(4) == 0) s.newConfigAtMs = pick(s.endMs);
  s.secondHostThread = pick(5) == 0;
  return s;
}

bool MemoryFails(const Faults& f) { return f.allocFail != 0 || f.failAllocation != 0; }

CCfgDevice ConfigOf(const Schedule& s) {
  CCfgDevice config;
  config.m_nConnectionType = s.kind == LinkKind::kSerial ? kConnectionSerial : kConnectionTcpIp;
  config.m_nSocketType = s.kind == LinkKind::kUdp ? kSocketUdp : kSocketTcp;
  config.m_nSerialPort = 3;
  config.m_nSerialSpeed = 38400;
  config.m_nIpPort = 10110;
  if (s.kind == LinkKind::kTcp || s.udpPeer) config.m_strHostAddress = u"receiver.example";
  if (s.udpPeer) config.m_nRemoteIpPort = 10111;
  config.m_strOptions = s.options.c_str();
  return config;
}

// What the host saw and did.
struct HostLog {
  std::vector<uint32_t> records;         // MMSIs, in the order the window got them
  std::vector<uint64_t> stopCalls;       // when a stop was asked for
  std::vector<std::pair<uint64_t, uint64_t>> running;  // from a start that worked to its stop
};

class Host {
 public:
  Host(VirtualSystem& world, const Schedule& s, HostLog& log) : m_world(world), m_s(s), m_log(log) {
    m_app.PutParent(m_world.Window());
    m_app.PutConfig(ConfigOf(s));
  }

  void Start() {
    const uint64_t at = m_world.Now();
    const size_t tracedBefore = m_world.Traces().size();
    if (Export([&] { return m_app.StartPlugin(); }, -1) == 0) {
      m_log.running.push_back({at, kNever});
      m_runTracesFrom = tracedBefore;
    }
  }

  // `byTheHost`: the host's first thread, which alone checks the status (the
  // second may start the plug-in again at any time).
  void Stop(bool byTheHost = true) {
    const uint64_t at = m_world.Now();
    m_log.stopCalls.push_back(at);
    const int32_t result = Export([&] { return m_app.StopPlugin(); }, -1);
    const uint64_t took = m_world.Now() - at;
    if (result == 0 && took > kStopWithinMs) {
      m_world.Fail("a stop took " + std::to_string(took) + " ms");
    }
    if (result == 0 && !m_log.running.empty() && m_log.running.back().second == kNever) {
      m_log.running.back().second = at;
    }
    if (byTheHost && !m_s.secondHostThread) CheckStatus(false);
  }

  // The status a host reads: 0 when stopped, 1 running, 2 only after the
  // trace said that the link could not be opened.
  // A link that opened is never given up: whatever fails later (memory
  // included) costs a line or a pass, not the run.
  void CheckStatus(bool running) {
    const uint32_t status = m_world.AsPlugin([&] { return m_app.GetStatus(); });
    if (!running && status != kStatusStopped) m_world.Fail("a stopped plug-in reports status " + std::to_string(status));
    // (Unless the trace could not be written: that is silent.)
    if (running && status == kStatusLinkFailed && m_s.faults.traceWriteFail == 0) {
      const auto& traces = m_world.Traces();
      const auto said = [&](const char* text) {
        return std::any_of(traces.begin() + static_cast<ptrdiff_t>(m_runTracesFrom), traces.end(),
                           [text](const vf::sim::TraceLine& t) { return t.text == text; });
      };
      if (said("Plugin is running successfully")) m_world.Fail("status 2 after the link had opened");
      if (!MemoryFails(m_s.faults) && !said("Failed to open or initialize device connection")) {
        m_world.Fail("status 2 without a trace that says why");
      }
    }
    if (running && status == kStatusLinkFailed && !m_log.running.empty() && m_log.running.back().second == kNever) {
      m_log.running.back().second = m_world.Now();
    }
    if (running && status == kStatusStopped) m_world.Fail("a running plug-in reports status 0");
  }

  void Drain() {
    for (uint32_t mmsi : m_world.TakeRecords()) m_log.records.push_back(mmsi);
  }

  void Run() {
    Start();
    bool restarted = false, reconfigured = false;
    for (uint64_t t = m_world.Now(); t < m_s.endMs;) {
      t = std::min(m_s.endMs, t + m_s.drainEveryMs);
      if (!restarted && m_s.restartAtMs < t) t = m_s.restartAtMs + 1;
      if (!reconfigured && m_s.newConfigAtMs < t) t = m_s.newConfigAtMs + 1;
      m_world.SleepUntil(t);
      Drain();
      if (!m_s.secondHostThread && !m_log.running.empty() && m_log.running.back().second == kNever) CheckStatus(true);
      if (!restarted && t > m_s.restartAtMs) {
        restarted = true;
        Stop();
        m_world.SleepUntil(m_world.Now() + 1 + m_s.seed % 3000);
        Start();
      }
      if (!reconfigured && t > m_s.newConfigAtMs) {
        reconfigured = true;
        CCfgDevice config = ConfigOf(m_s);
        config.m_nTimeOffset = 1000;
        Export([&] { m_app.PutConfig(config); return 0; }, -1);
      }
    }
    Stop();
    Drain();
  }

  // Starts and stops of its own, some at the very moments the first thread
  // starts or stops, so that the two meet inside the calls.
  void RunSecondThread() {
    std::mt19937_64 random(m_s.seed + 1);
    std::vector<uint64_t> times = {0, m_s.restartAtMs + 1};
    for (int i = 0; i < 8; ++i) times.push_back(random() % m_s.endMs);
    std::sort(times.begin(), times.end());
    for (size_t i = 0; i < times.size() && times[i] < m_s.endMs; ++i) {
      m_world.SleepUntil(times[i]);
      if (i % 2 == 0) {
        Start();
      } else {
        Stop(false);
      }
    }
    m_secondDone = true;
  }
  bool SecondDone() const { return m_secondDone; }

 private:
  // A call as the exports make it: its allocations may fail, and nothing
  // thrown reaches the host (the exported function gives `failed`).
  template <typename Call>
  int32_t Export(Call call, int32_t failed) {
    try {
      return m_world.AsPlugin(call);
    } catch (...) {
      return failed;
    }
  }

  VirtualSystem& m_world;
  const Schedule& m_s;
  HostLog& m_log;
  CAISApp m_app;
  bool m_secondDone = false;
  size_t m_runTracesFrom = 0;  // the first trace line of the latest run
};

bool StoppedWithin(const HostLog& log, uint64_t from, uint64_t to) {
  return std::any_of(log.stopCalls.begin(), log.stopCalls.end(), [&](uint64_t t) { return t >= from && t <= to; });
}

// The rules every schedule keeps, checked once it has run.
void CheckSchedule(VirtualSystem& world, const Schedule& s, const HostLog& log) {
  const auto& lines = world.Lines();
  const auto& wholeAt = world.WholeAt();
  // Records: each of a line that arrived whole, in order, none twice.
  uint32_t last = 0;
  bool first = true;
  std::vector<bool> recorded(lines.size(), false);
  for (uint32_t mmsi : log.records) {
    const uint32_t id = mmsi - kFirstMmsi;
    const auto line = std::find_if(lines.begin(), lines.end(), [id](const SentLine& l) { return l.id == id; });
    if (line == lines.end()) world.Fail("a record of MMSI " + std::to_string(mmsi) + " that no line carried");
    const size_t index = static_cast<size_t>(line - lines.begin());
    if (wholeAt[index] == kNever) world.Fail("a record of line " + std::to_string(id) + " (sent at " + std::to_string(line->atMs) + " ms), which never arrived whole");
    if (!first && id <= last) world.Fail("line " + std::to_string(id) + " recorded after line " + std::to_string(last));
    recorded[index] = true;
    last = id;
    first = false;
  }
  // Every line that arrived whole, while the run went on for a while after,
  // is a record (unless memory or the window's room ran out on purpose).
  if (!MemoryFails(s.faults) && s.faults.windowRoom == 0) {
    for (size_t i = 0; i < lines.size(); ++i) {
      const bool late = lines[i].restMs - lines[i].atMs >= 400;  // a line cut by the links' silence time-out
      if (wholeAt[i] == kNever || late || recorded[i] || StoppedWithin(log, wholeAt[i], wholeAt[i] + 1500)) continue;
      world.Fail("line " + std::to_string(lines[i].id) + " arrived whole at " + std::to_string(wholeAt[i]) +
                 " ms and no record came of it");
    }
  }
  // Each attempt the trace announces comes when it says.
  static const std::regex kAnnounced("(reconnecting in|next attempt in) ([0-9]+) s\\.$");
  const auto& attempts = world.OpenAttempts();
  for (const vf::sim::TraceLine& t : world.Traces()) {
    std::smatch m;
    if (!std::regex_search(t.text, m, kAnnounced)) continue;
    const uint64_t due = t.atMs + std::stoull(m[2]) * 1000;
    if (StoppedWithin(log, t.atMs - std::min(t.atMs, kStopWithinMs), due + kPassSlackMs)) continue;  // said as a stop began
    const auto next = std::lower_bound(attempts.begin(), attempts.end(), t.atMs + 1);
    if (next == attempts.end() || *next + 5 < due || *next > due + kPassSlackMs) {
      world.Fail("\"" + t.text + "\" at " + std::to_string(t.atMs) + " ms, and the next attempt came at " +
                 (next == attempts.end() ? std::string("no time") : std::to_string(*next)) + " ms");
    }
  }
  // The receiver back: an attempt within the longest back-off (a UDP session
  // has nothing to reopen; its lines show that it reads on).
  const uint64_t slowLookups = s.faults.lookupSlow != 0 ? 20000 : 0;
  for (const auto& away : s.kind == LinkKind::kUdp ? decltype(s.away){} : s.away) {
    const uint64_t to = away.second;
    for (const auto& [started, stopped] : log.running) {
      const uint64_t needed = to + kLongestBackOffMs + kPassSlackMs + slowLookups + CTcp::kConnectWaitMs * 3;
      if (started > away.first || stopped < needed) continue;
      const bool tried = std::any_of(attempts.begin(), attempts.end(), [&](uint64_t a) { return a >= to && a <= needed; });
      if (!tried && !s.secondHostThread) world.Fail("the receiver was back at " + std::to_string(to) + " ms and not tried again");
    }
  }
  if (world.MostCallsInAQuietSecond() > kQuietCallsPerSecond) {
    world.Fail(std::to_string(world.MostCallsInAQuietSecond()) + " system calls in one second while nothing arrived: " +
               world.CallsOfTheQuietestSecond());
  }
}

void RunSchedule(const Schedule& s);

void RunSchedule(uint64_t seed, LinkKind kind) { RunSchedule(MakeSchedule(seed, kind)); }

void RunSchedule(const Schedule& s) {
  const uint64_t seed = s.seed;
  HostLog log;
  VirtualSystem world(seed, s.lines, s.away, s.faults);
  {
    Host host(world, s, log);
    if (s.secondHostThread) world.StartHostThread([&host] { host.RunSecondThread(); });
    host.Run();
    while (s.secondHostThread && !host.SecondDone()) world.SleepUntil(world.Now() + 1000);
    host.Stop();
    if (!world.WaitForOtherThreads(world.Now() + kStopWithinMs)) world.Fail("a thread still runs after the stop");
    host.Drain();
  }
  if (const std::string left = world.Leftovers(); !left.empty()) world.Fail("left after the stop: " + left);
  CheckSchedule(world, s, log);
}

uint64_t SchedulesPerKind() {
  const char* text = std::getenv("SIMULATION_SCHEDULES");
  return text != nullptr ? std::strtoull(text, nullptr, 10) : SIMULATION_DEFAULT_SCHEDULES;
}

void RunSchedules(LinkKind kind, uint64_t salt, const char* name) {
  if (const char* replay = std::getenv("SIMULATION_SEED")) {
    // The schedules before it too: the plug-in's statics are made once per
    // process, so a schedule's allocations depend on those that ran first.
    const uint64_t seed = std::strtoull(replay, nullptr, 10);
    for (uint64_t earlier = salt; seed % 3 == salt && earlier <= seed; earlier += 3) RunSchedule(earlier, kind);
    return;
  }
  const uint64_t count = SchedulesPerKind();
  for (uint64_t i = 0; i < count; ++i) RunSchedule(i * 3 + salt, kind);
  std::printf("%llu %s schedules passed\n", static_cast<unsigned long long>(count), name);
}

// Each of the first allocations of a run (its start, its open, its first
// passes and lines) fails in turn, alone, on every link kind: wherever it
// falls, the run either fails to start, fails its link with status 2 before
// it opened, or loses a line or a pass; never more.
TEST(LinkFaults, EachEarlyAllocationMayFail) {
  for (const LinkKind kind : {LinkKind::kSerial, LinkKind::kTcp, LinkKind::kUdp}) {
    for (uint64_t failing = 1; failing <= 300; ++failing) {
      Schedule s = MakeSchedule(static_cast<uint64_t>(kind) + 3 * failing, kind);
      s.endMs = 8000;
      s.away.clear();
      s.faults = Faults{};
      s.faults.failAllocation = failing;
      s.restartAtMs = s.newConfigAtMs = kNever;
      s.secondHostThread = false;
      RunSchedule(s);
    }
  }
}

TEST(LinkFaults, SerialPortSchedules) { RunSchedules(LinkKind::kSerial, 0, "serial port"); }
TEST(LinkFaults, TcpClientSchedules) { RunSchedules(LinkKind::kTcp, 1, "TCP client"); }
TEST(LinkFaults, UdpSessionSchedules) { RunSchedules(LinkKind::kUdp, 2, "UDP session"); }

}  // namespace
