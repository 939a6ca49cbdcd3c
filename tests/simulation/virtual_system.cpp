#include "simulation/virtual_system.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <sstream>

#include "ais_plugin.h"

namespace vf::sim {

using platform::Handle;
using platform::Socket;

VirtualSystem* VirtualSystem::s_current = nullptr;

namespace {

thread_local int t_task = -1;
thread_local bool t_inSimulation = false;

// Each entry runs as simulation code, under the world's lock.
struct Entry {
  bool saved = t_inSimulation;
  Entry() { t_inSimulation = true; }
  ~Entry() { t_inSimulation = saved; }
};

VirtualSystem& World() { return *VirtualSystem::Current(); }

platform::SystemCalls Table() {
  platform::SystemCalls c = platform::NativeSystemCalls();
  c.startThread = [](platform::ThreadProc proc, void* argument) { Entry e; return World().StartThread(proc, argument); };
  c.createEvent = [] { Entry e; return World().CreateEvent(); };
  c.openSocket = [](platform::SocketKind kind) { Entry e; return World().OpenSocket(kind); };
  c.setAddressReuse = [](Socket s) { Entry e; World().Touch("set address reuse", s); return true; };
  c.setNonBlocking = [](Socket s) { Entry e; World().Touch("set non-blocking", s); return true; };
  c.setExclusiveAddressUse = [](Socket s) { Entry e; World().Touch("set exclusive use", s); return true; };
  c.growReceiveBuffer = [](Socket s, int bytes) { Entry e; World().Touch("grow the receive buffer", s); return bytes; };
  c.lookUpAddress = [](const platform::NameQuery& q, platform::SocketAddress& a, const platform::Abandon& abandon) {
    Entry e;
    return World().LookUpAddress(q, a, abandon);
  };
  c.openSerialPort = [](int32_t, platform::SerialOpenResult& result) { Entry e; return World().OpenSerialPort(result); };
  c.configureSerialPort = [](Handle, uint32_t, const platform::SerialFrame*) { return true; };
  c.rewriteWholeFile = [](const std::u16string& path, const std::string& bytes) {
    Entry e;
    return World().RewriteWholeFile(path, bytes);
  };
  c.replaceWholeFile = c.rewriteWholeFile;
  c.waitForNamedMutex = [](Handle, uint32_t timeoutMs) { Entry e; return World().WaitForNamedMutex(timeoutMs); };
  c.openNamedMutex = [](const char16_t*) { Entry e; return World().OpenNamedMutex(); };
  c.releaseNamedMutex = [](Handle) { Entry e; World().ReleaseNamedMutex(); };
  c.closeNamedMutex = [](Handle) { Entry e; World().CloseNamedMutex(); };
  c.readWholeFile = [](const std::u16string& path) { Entry e; return World().ReadWholeFile(path); };
  c.tickCountMs = [] { Entry e; return World().TickCount(); };
  c.multimediaTimerMs = [] { Entry e; return World().TickCount(); };
  c.sleepMs = [](uint32_t ms) { Entry e; World().Sleep(ms); };
  c.waitForAnyEvent = [](const Handle* events, size_t count, uint32_t timeoutMs) {
    Entry e;
    return World().WaitForAnyEvent(events, count, timeoutMs);
  };
  c.readSerialPort = [](Handle port, uint8_t* buffer, size_t capacity, uint32_t timeoutMs, Handle stop, size_t& bytes) {
    Entry e;
    return World().ReadSerialPort(port, buffer, capacity, timeoutMs, stop, bytes);
  };
  c.purgeSerialPort = [](Handle, bool, bool) {};
  c.raiseModemLines = [](Handle) {};
  c.serialOverrunCount = [](Handle) { return int64_t{-1}; };
  c.closeSerialPort = [](Handle port) { Entry e; World().CloseSerialPort(port); };
  c.setBufferSizes = [](Socket s, int) { Entry e; World().Touch("set buffer sizes", s); };
  c.startConnect = [](Socket s, const platform::SocketAddress&) { Entry e; return World().StartConnect(s); };
  c.waitConnected = [](Socket s, uint32_t timeoutMs, bool refusalEnds) {
    Entry e;
    return World().WaitConnected(s, timeoutMs, refusalEnds);
  };
  c.bindSocket = [](Socket s, const platform::SocketAddress&) { Entry e; return World().BindSocket(s); };
  c.connectSocket = [](Socket s, const platform::SocketAddress&) { Entry e; World().Touch("connect", s); return true; };
  c.waitForSocketOrEvents = [](Socket s, platform::SocketKind, const Handle* events, size_t count, uint32_t timeoutMs) {
    Entry e;
    return World().WaitForSocketOrEvents(s, events, count, timeoutMs);
  };
  c.streamEnded = [](Socket s) { Entry e; return World().StreamEnded(s); };
  c.receive = [](Socket s, void* buffer, size_t capacity) { Entry e; return World().Receive(s, buffer, capacity); };
  c.receiveDatagram = [](Socket s, void* buffer, size_t capacity) {
    Entry e;
    return World().ReceiveDatagram(s, buffer, capacity);
  };
  c.receiveDatagramFrom = [](Socket s, void* buffer, size_t capacity, platform::SocketAddress& from) {
    Entry e;
    from = platform::AnyAddress(10110);
    const uint8_t loopback[4] = {127, 0, 0, 1};  // where the receiver sends from
    std::memcpy(from.bytes + 4, loopback, 4);
    return World().ReceiveDatagram(s, buffer, capacity);
  };
  c.droppedDatagrams = [](Socket) { return int64_t{-1}; };
  c.shutdownSocket = [](Socket s) { Entry e; World().Touch("shut down", s); };
  c.closeSocket = [](Socket s) { Entry e; World().CloseSocket(s); };
  c.enterCriticalSection = [](platform::CriticalSection* section) { Entry e; World().EnterSection(section); };
  c.leaveCriticalSection = [](platform::CriticalSection* section) { Entry e; World().LeaveSection(section); };
  c.setEvent = [](Handle event) { Entry e; World().SetEvent(event, true); };
  c.resetEvent = [](Handle event) { Entry e; World().SetEvent(event, false); };
  c.closeEvent = [](Handle event) { Entry e; World().CloseEvent(event); };
  c.waitForThread = [](Handle thread, uint32_t timeoutMs) { Entry e; return World().WaitForThread(thread, timeoutMs); };
  c.closeThread = [](Handle thread) { Entry e; World().CloseThread(thread); };
  c.postToWindow = [](HostWindow, uint32_t message, uintptr_t wParam, intptr_t record) {
    Entry e;
    if (message != kAisWmUser || wParam != kAisRecordWParam) World().Fail("a post that is not a record");
    return World().PostToWindow(record);
  };
  c.windowExists = [](HostWindow) { return true; };
  c.topLevelWindowExists = [](const char16_t*) { return false; };
  return c;
}

}  // namespace

VirtualSystem::VirtualSystem(uint64_t seed, std::vector<SentLine> lines,
                             std::vector<std::pair<uint64_t, uint64_t>> away, Faults faults)
    : m_seed(seed),
      m_lines(std::move(lines)),
      m_away(std::move(away)),
      m_faults(faults),
      m_random(seed),
      m_allocRandom(seed * 7919 + 1) {
  // The tick count wraps within the first minutes: every interval the
  // plug-in measures must survive it.
  m_bootTick = static_cast<uint32_t>(0u - 1000u - static_cast<uint32_t>(m_random() % 120000));
  uint64_t offset = 0;
  for (SentLine& line : m_lines) {
    line.offset = offset;
    offset += line.bytes.size();
  }
  m_wholeAt.assign(m_lines.size(), kNever);
  auto host = std::make_unique<Task>();
  host->started = true;
  host->blocked = false;
  m_tasks.push_back(std::move(host));
  t_task = 0;
  t_inSimulation = true;
  s_current = this;
  platform::ActiveSystemCalls() = Table();
  // Whatever ends the process (an exception nothing caught, a crash) names the seed.
  std::set_terminate([] {
    if (VirtualSystem* world = Current()) world->Fail("an exception that nothing caught ended the process");
    std::abort();
  });
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
    std::signal(signal, [](int) {
      char text[96];
      const int length = std::snprintf(text, sizeof text, "\nA crash. Replay it with SIMULATION_SEED=%llu\n",
                                       static_cast<unsigned long long>(Current() ? Current()->Seed() : 0));
      if (write(2, text, static_cast<size_t>(length)) < 0) std::_Exit(2);
      std::_Exit(2);
    });
  }
}

VirtualSystem::~VirtualSystem() {
  platform::ActiveSystemCalls() = platform::NativeSystemCalls();
  for (auto& task : m_tasks) {
    if (task->thread.joinable()) task->thread.join();
  }
  for (intptr_t record : m_window) delete reinterpret_cast<CRawDataAis*>(record);
  s_current = nullptr;
  t_task = -1;
  t_inSimulation = false;
}

VirtualSystem* VirtualSystem::Current() { return s_current; }
bool& VirtualSystem::InSimulation() { return t_inSimulation; }

bool VirtualSystem::AllocationFails() {
  if (t_task < 0) return false;
  if (m_faults.failAllocation > 0) return ++m_allocations == m_faults.failAllocation;
  return m_faults.allocFail > 0 && static_cast<int>(m_allocRandom() % 1000000) < m_faults.allocFail;
}

void VirtualSystem::Fail(const std::string& why) {
  std::fprintf(stderr, "\nSchedule failed at %llu ms virtual: %s\n", static_cast<unsigned long long>(m_nowMs), why.c_str());
  if (m_faults.failAllocation != 0) {
    std::fprintf(stderr, "(seed %llu with allocation %llu failing: EachEarlyAllocationMayFail)\n",
                 static_cast<unsigned long long>(m_seed), static_cast<unsigned long long>(m_faults.failAllocation));
  } else {
    std::fprintf(stderr, "Replay it with SIMULATION_SEED=%llu\n", static_cast<unsigned long long>(m_seed));
  }
  if (std::getenv("SIMULATION_SEED") != nullptr) {  // a replay shows the trace too
    for (const TraceLine& t : m_traces) std::fprintf(stderr, "%8llu  %s\n", static_cast<unsigned long long>(t.atMs), t.text.c_str());
  }
  std::fflush(stderr);
  std::_Exit(1);  // other threads wait on the turn: nothing can unwind them
}

int VirtualSystem::Self() const {
  if (t_task < 0) const_cast<VirtualSystem*>(this)->Fail("a thread the simulation did not start made a system call");
  return t_task;
}

bool VirtualSystem::Chance(int perMille) { return perMille > 0 && static_cast<int>(m_random() % 1000) < perMille; }

void VirtualSystem::CountCall(const char* what) {
  ++m_callsThisSecond;
  ++m_callsByName[what];
  if (++m_callsSinceTimeMoved > 200000) Fail("a busy loop: 200000 system calls without time passing");
}

bool VirtualSystem::Away(uint64_t ms) const {
  return std::any_of(m_away.begin(), m_away.end(), [ms](const auto& a) { return ms >= a.first && ms < a.second; });
}

uint64_t VirtualSystem::Generation() const {
  uint64_t starts = 0;
  for (const auto& a : m_away) starts += a.first <= m_nowMs ? 1 : 0;
  return starts + m_glitches;
}

bool VirtualSystem::EventSet(Handle event) const {
  const auto found = m_events.find(event);
  return found != m_events.end() && found->second;
}

void VirtualSystem::CheckNotHoldingMutex(const char* where) {
  if (m_mutexOwner == Self()) Fail(std::string("the trace mutex is still held in ") + where);
}

// --- the turn ---------------------------------------------------------------

bool VirtualSystem::Block(std::unique_lock<std::mutex>& lock, std::function<bool()> ready, uint64_t untilMs) {
  const int self = Self();
  Task& task = *m_tasks[static_cast<size_t>(self)];
  task.blocked = true;
  task.ready = std::move(ready);
  task.untilMs = untilMs;
  PassTurn(lock, self);
  return task.result;
}

void VirtualSystem::PassTurn(std::unique_lock<std::mutex>& lock, int self) {
  std::vector<size_t> runnable;
  for (;;) {
    runnable.clear();
    for (size_t i = 0; i < m_tasks.size(); ++i) {
      const Task& t = *m_tasks[i];
      if (!t.done && t.blocked && (t.untilMs <= m_nowMs || (t.ready && t.ready()))) runnable.push_back(i);
    }
    if (!runnable.empty()) break;
    uint64_t next = NextWorldChange();
    for (const auto& t : m_tasks) {
      if (!t->done && t->blocked) next = std::min(next, t->untilMs);
    }
    if (next == kNever) Fail("every thread waits for ever");
    AdvanceTo(next);
  }
  Task& chosen = *m_tasks[runnable[m_random() % runnable.size()]];
  chosen.result = chosen.ready && chosen.ready();
  chosen.blocked = false;
  chosen.ready = nullptr;
  m_turn = chosen.id;
  if (chosen.id == self) return;
  chosen.turn.notify_one();
  if (self < 0) return;  // an ended thread hands over for good
  Task& me = *m_tasks[static_cast<size_t>(self)];
  me.turn.wait(lock, [&] { return m_turn == self; });
}

void VirtualSystem::AdvanceTo(uint64_t ms) {
  if (ms <= m_nowMs) return;
  if (ms / 1000 != m_second) {
    if (m_bytesThisSecond == 0 && m_callsThisSecond > m_mostQuietCalls) {
      m_mostQuietCalls = m_callsThisSecond;
      m_quietestCalls.clear();
      for (const auto& [name, count] : m_callsByName) m_quietestCalls += name + " " + std::to_string(count) + ", ";
    }
    m_callsByName.clear();
    m_second = ms / 1000;
    m_callsThisSecond = m_bytesThisSecond = 0;
  }
  m_nowMs = ms;
  m_callsSinceTimeMoved = 0;
}

uint64_t VirtualSystem::NextWorldChange() const {
  uint64_t next = kNever;
  const auto later = [&](uint64_t t) {
    if (t > m_nowMs) next = std::min(next, t);
  };
  const auto first = std::upper_bound(m_lines.begin(), m_lines.end(), m_nowMs,
                                      [](uint64_t now, const SentLine& l) { return now < l.atMs; });
  if (first != m_lines.end()) later(first->atMs);
  if (first != m_lines.begin()) later(std::prev(first)->restMs);
  for (const auto& a : m_away) {
    later(a.first);
    later(a.second);
  }
  for (const auto& [socket, s] : m_sockets) {
    if (s.connect == SimSocket::Connect::kAnswers && !s.connected) later(s.answerAtMs);
    if (s.connected) later(s.stream.endsAtMs);
  }
  return next;
}

void VirtualSystem::SleepUntil(uint64_t ms) {
  std::unique_lock lock(m_mutex);
  Block(lock, nullptr, ms);
}

void VirtualSystem::StartHostThread(std::function<void()> body) {
  std::unique_lock lock(m_mutex);
  auto task = std::make_unique<Task>();
  Task* raw = task.get();
  raw->id = static_cast<int>(m_tasks.size());
  raw->untilMs = m_nowMs;
  m_tasks.push_back(std::move(task));
  raw->thread = std::thread([this, raw, body = std::move(body)] {
    {
      std::unique_lock wait(m_mutex);
      raw->turn.wait(wait, [&] { return m_turn == raw->id; });
    }
    t_task = raw->id;
    t_inSimulation = true;
    body();
    std::unique_lock end(m_mutex);
    raw->done = true;
    PassTurn(end, -1);
  });
}

bool VirtualSystem::WaitForOtherThreads(uint64_t deadlineMs) {
  std::unique_lock lock(m_mutex);
  const int self = Self();
  const auto othersDone = [this, self] {
    return std::all_of(m_tasks.begin(), m_tasks.end(), [self](const auto& t) { return t->id == self || t->done; });
  };
  return Block(lock, othersDone, deadlineMs);
}

std::vector<uint32_t> VirtualSystem::TakeRecords() {
  std::unique_lock lock(m_mutex);
  std::vector<uint32_t> mmsis;
  for (intptr_t address : m_window) {
    const std::unique_ptr<CRawDataAis> record(reinterpret_cast<CRawDataAis*>(address));
    mmsis.push_back(record->m_nMMSI);
  }
  m_window.clear();
  return mmsis;
}

std::string VirtualSystem::Leftovers() const {
  std::ostringstream out;
  if (!m_events.empty()) out << m_events.size() << " events open; ";
  if (!m_threads.empty()) out << m_threads.size() << " thread handles open; ";
  if (!m_ports.empty()) out << m_ports.size() << " serial ports open; ";
  if (!m_sockets.empty()) out << m_sockets.size() << " sockets open; ";
  for (const auto& [section, held] : m_sections) {
    if (held.owner >= 0) out << "a lock held by thread " << held.owner << "; ";
  }
  if (m_mutexOwner >= 0) out << "the trace mutex held by thread " << m_mutexOwner << "; ";
  if (m_mutexOpen != 0) out << m_mutexOpen << " trace mutex handles open; ";
  return out.str();
}

// --- time, events, threads --------------------------------------------------

uint32_t VirtualSystem::TickCount() {
  std::unique_lock lock(m_mutex);
  CountCall("TickCount");
  return m_bootTick + static_cast<uint32_t>(m_nowMs);
}

void VirtualSystem::Sleep(uint32_t ms) {
  std::unique_lock lock(m_mutex);
  CountCall("Sleep");
  CheckNotHoldingMutex("a sleep");
  Block(lock, nullptr, m_nowMs + ms);
}

Handle VirtualSystem::CreateEvent() {
  std::unique_lock lock(m_mutex);
  CountCall("CreateEvent");
  if (Chance(m_faults.noResources)) return platform::InvalidHandle();
  const auto event = reinterpret_cast<Handle>(m_nextHandle++);
  m_events[event] = false;
  return event;
}

void VirtualSystem::SetEvent(Handle event, bool set) {
  std::unique_lock lock(m_mutex);
  CountCall("SetEvent");
  const auto found = m_events.find(event);
  if (found == m_events.end()) Fail("an event that is not open was set or reset");
  found->second = set;
}

void VirtualSystem::CloseEvent(Handle event) {
  std::unique_lock lock(m_mutex);
  if (m_events.erase(event) == 0) Fail("an event was closed twice");
}

int VirtualSystem::WaitForAnyEvent(const Handle* events, size_t count, uint32_t timeoutMs) {
  std::unique_lock lock(m_mutex);
  CountCall("WaitForAnyEvent");
  if (count == 0) return -2;
  for (size_t i = 0; i < count; ++i) {
    if (m_events.count(events[i]) == 0) return -2;
  }
  CheckNotHoldingMutex("a wait for events");
  const auto first = [&]() -> int {
    for (size_t i = 0; i < count; ++i) {
      if (EventSet(events[i])) return static_cast<int>(i);
    }
    return -1;
  };
  const uint64_t until = timeoutMs == platform::kWaitForever ? kNever : m_nowMs + timeoutMs;
  Block(lock, [&] { return first() >= 0; }, until);
  return first();
}

void VirtualSystem::JoinEndedThreads() {
  for (auto& task : m_tasks) {
    if (task->done && task->thread.joinable()) task->thread.join();  // it has let go of the lock already
  }
}

Handle VirtualSystem::StartThread(platform::ThreadProc proc, void* argument) {
  std::unique_lock lock(m_mutex);
  CountCall("StartThread");
  if (Chance(m_faults.noResources)) return platform::InvalidHandle();
  JoinEndedThreads();
  auto task = std::make_unique<Task>();
  Task* raw = task.get();
  raw->id = static_cast<int>(m_tasks.size());
  raw->untilMs = m_nowMs;
  m_tasks.push_back(std::move(task));
  raw->thread = std::thread([this, raw, proc, argument] {
    {
      std::unique_lock wait(m_mutex);
      raw->turn.wait(wait, [&] { return m_turn == raw->id; });
    }
    t_task = raw->id;
    proc(argument);
    t_inSimulation = true;
    std::unique_lock end(m_mutex);
    if (m_mutexOwner == raw->id) Fail("a thread ended holding the trace mutex");
    raw->done = true;
    PassTurn(end, -1);
  });
  const auto handle = reinterpret_cast<Handle>(m_nextHandle++);
  m_threads[handle] = raw->id;
  return handle;
}

bool VirtualSystem::WaitForThread(Handle thread, uint32_t timeoutMs) {
  std::unique_lock lock(m_mutex);
  CountCall("WaitForThread");
  const auto found = m_threads.find(thread);
  if (found == m_threads.end()) Fail("a wait for a thread whose handle is not open");
  CheckNotHoldingMutex("a wait for a thread");
  const Task& task = *m_tasks[static_cast<size_t>(found->second)];
  return Block(lock, [&task] { return task.done; }, m_nowMs + timeoutMs) || task.done;
}

void VirtualSystem::CloseThread(Handle thread) {
  std::unique_lock lock(m_mutex);
  if (m_threads.erase(thread) == 0) Fail("a thread handle was closed twice");
}

void VirtualSystem::EnterSection(const void* section) {
  std::unique_lock lock(m_mutex);
  CountCall("EnterSection");
  const int self = Self();
  Section& held = m_sections[section];
  if (held.owner != -1 && held.owner != self) Block(lock, [&held] { return held.owner == -1; }, kNever);
  held.owner = self;
  ++held.depth;
}

void VirtualSystem::LeaveSection(const void* section) {
  std::unique_lock lock(m_mutex);
  Section& held = m_sections[section];
  if (held.owner != Self()) Fail("a lock was left by a thread that does not hold it");
  if (--held.depth == 0) held.owner = -1;
}

// --- the trace files and their mutex ----------------------------------------

Handle VirtualSystem::OpenNamedMutex() {
  std::unique_lock lock(m_mutex);
  ++m_mutexOpen;
  return reinterpret_cast<Handle>(uintptr_t{0x6000});
}

void VirtualSystem::CloseNamedMutex() {
  std::unique_lock lock(m_mutex);
  if (--m_mutexOpen < 0) Fail("the trace mutex was closed more often than opened");
}

platform::MutexWait VirtualSystem::WaitForNamedMutex(uint32_t timeoutMs) {
  std::unique_lock lock(m_mutex);
  CountCall("WaitForNamedMutex");
  const int self = Self();
  if (m_mutexOwner != -1 && m_mutexOwner != self) Block(lock, [this] { return m_mutexOwner == -1; }, m_nowMs + timeoutMs);
  if (m_mutexOwner != -1 && m_mutexOwner != self) return platform::MutexWait::kFailed;
  m_mutexOwner = self;
  ++m_mutexDepth;
  return platform::MutexWait::kAcquired;
}

void VirtualSystem::ReleaseNamedMutex() {
  std::unique_lock lock(m_mutex);
  if (m_mutexOwner != Self()) Fail("the trace mutex was released by a thread that does not hold it");
  if (--m_mutexDepth == 0) m_mutexOwner = -1;
}

std::optional<std::string> VirtualSystem::ReadWholeFile(const std::u16string& path) {
  std::unique_lock lock(m_mutex);
  CountCall("ReadWholeFile");
  const auto found = m_files.find(path);
  if (found == m_files.end()) return std::nullopt;
  return found->second;
}

bool VirtualSystem::RewriteWholeFile(const std::u16string& path, const std::string& bytes) {
  std::unique_lock lock(m_mutex);
  CountCall("RewriteWholeFile");
  if (Chance(m_faults.traceWriteFail)) return false;
  m_files[path] = bytes;
  if (path.find(u"Trace_General") != std::u16string::npos) {
    std::string_view text(bytes);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    text = text.substr(text.rfind('\n') + 1);  // the entry just written
    text = text.substr(text.find("] ") + 2);
    m_traces.push_back({m_nowMs, std::string(text)});
  }
  return true;
}

bool VirtualSystem::PostToWindow(intptr_t record) {
  std::unique_lock lock(m_mutex);
  CountCall("PostToWindow");
  if (m_faults.windowRoom != 0 && m_window.size() >= m_faults.windowRoom) {
    ++m_bytesThisSecond;  // a record waits for room: the plug-in is not idle
    return false;
  }
  m_window.push_back(record);
  return true;
}

// --- the receiver's stream --------------------------------------------------

uint64_t VirtualSystem::StreamEnd(uint64_t ms) const {
  const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), ms,
                                      [](uint64_t t, const SentLine& l) { return t < l.atMs; });
  if (after == m_lines.begin()) return 0;
  const SentLine& last = *std::prev(after);
  return last.offset + (last.restMs > ms ? last.split : last.bytes.size());
}

uint64_t VirtualSystem::Available(const Connection& c) const {
  const uint64_t end = std::min(StreamEnd(std::min(m_nowMs, c.endsAtMs)), c.limit);
  return end > c.delivered ? end - c.delivered : 0;
}

size_t VirtualSystem::Deliver(Connection& c, uint8_t* buffer, size_t capacity) {
  size_t count = static_cast<size_t>(std::min<uint64_t>(capacity, Available(c)));
  if (count > 1 && Chance(m_faults.shortRead)) count = 1 + m_random() % count;
  auto line = std::upper_bound(m_lines.begin(), m_lines.end(), c.delivered,
                               [](uint64_t offset, const SentLine& l) { return offset < l.offset; });
  --line;  // the line that holds the first byte
  for (size_t done = 0; done < count;) {
    const size_t from = static_cast<size_t>(c.delivered + done - line->offset);
    const size_t piece = std::min(count - done, line->bytes.size() - from);
    std::memcpy(buffer + done, line->bytes.data() + from, piece);
    done += piece;
    ++line;
  }
  c.delivered += count;
  m_bytesThisSecond += count;
  // A line is whole at its CR: the LF after it is not needed to end it.
  while (c.nextLine < m_lines.size() &&
         m_lines[c.nextLine].offset + m_lines[c.nextLine].bytes.size() - 1 <= c.delivered) {
    if (m_wholeAt[c.nextLine] == kNever) m_wholeAt[c.nextLine] = m_nowMs;
    ++c.nextLine;
  }
  return count;
}

// --- the serial port --------------------------------------------------------

Handle VirtualSystem::OpenSerialPort(platform::SerialOpenResult& result) {
  std::unique_lock lock(m_mutex);
  CountCall("OpenSerialPort");
  m_openAttempts.push_back(m_nowMs);
  result = platform::SerialOpenResult::kFailed;
  if (Away(m_nowMs)) {
    result = platform::SerialOpenResult::kNotFound;
  } else if (!m_ports.empty() || Chance(m_faults.openRefused)) {
    result = platform::SerialOpenResult::kInUse;  // held: by this program too, as the port is exclusive
  } else {
    Connection c;
    c.start = c.delivered = StreamEnd(m_nowMs);
    c.generation = Generation();
    c.nextLine = static_cast<size_t>(
        std::lower_bound(m_lines.begin(), m_lines.end(), c.start,
                         [](const SentLine& l, uint64_t offset) { return l.offset < offset; }) -
        m_lines.begin());
    const auto port = reinterpret_cast<Handle>(m_nextHandle++);
    m_ports[port] = c;
    result = platform::SerialOpenResult::kOpened;
    return port;
  }
  return platform::InvalidHandle();
}

platform::SerialRead VirtualSystem::ReadSerialPort(Handle port, uint8_t* buffer, size_t capacity, uint32_t timeoutMs,
                                                   Handle stopEvent, size_t& bytes) {
  std::unique_lock lock(m_mutex);
  CountCall("ReadSerialPort");
  bytes = 0;
  const auto found = m_ports.find(port);
  if (found == m_ports.end()) Fail("a read of a serial port that is not open");
  CheckNotHoldingMutex("a serial read");
  Connection& c = found->second;
  const auto gone = [&] { return c.generation != Generation() || Away(m_nowMs); };
  Block(lock, [&] { return EventSet(stopEvent) || gone() || Available(c) > 0; }, m_nowMs + timeoutMs);
  if (EventSet(stopEvent)) return platform::SerialRead::kStopped;
  if (gone()) return platform::SerialRead::kGone;
  if (Available(c) == 0 || Chance(m_faults.zeroRead)) return platform::SerialRead::kNothing;
  if (Chance(m_faults.readError)) {
    ++m_glitches;  // the adapter resets: this open is gone, the device is still there
    return platform::SerialRead::kGone;
  }
  bytes = Deliver(c, buffer, capacity);
  return platform::SerialRead::kData;
}

void VirtualSystem::CloseSerialPort(Handle port) {
  std::unique_lock lock(m_mutex);
  if (m_ports.erase(port) == 0) Fail("a serial port that is not open was closed");
}

// --- sockets ----------------------------------------------------------------

void VirtualSystem::Touch(const char* what, Socket socket) {
  std::unique_lock lock(m_mutex);
  CountCall("Touch");
  if (m_sockets.count(socket) == 0) Fail(std::string(what) + " on a socket that is not open");
}

bool VirtualSystem::LookUpAddress(const platform::NameQuery& query, platform::SocketAddress& address,
                                  const platform::Abandon& abandon) {
  std::unique_lock lock(m_mutex);
  CountCall("LookUpAddress");
  if (Chance(m_faults.lookupSlow)) {
    const uint64_t end = m_nowMs + m_random() % 20000;
    while (m_nowMs < end) {
      if (abandon && abandon()) return false;
      Block(lock, nullptr, std::min(end, m_nowMs + platform::kAbandonCheckMs));
    }
  }
  if (Chance(m_faults.lookupFail)) return false;
  address = platform::AnyAddress(static_cast<uint16_t>(std::atoi(query.service.c_str())));
  const uint8_t loopback[4] = {127, 0, 0, 1};
  std::memcpy(address.bytes + 4, loopback, 4);
  return true;
}

Socket VirtualSystem::OpenSocket(platform::SocketKind kind) {
  std::unique_lock lock(m_mutex);
  CountCall("OpenSocket");
  if (kind == platform::SocketKind::kStream) m_openAttempts.push_back(m_nowMs);
  const auto socket = static_cast<Socket>(m_nextHandle++);
  m_sockets[socket].kind = kind;
  return socket;
}

platform::ConnectStart VirtualSystem::StartConnect(Socket socket) {
  std::unique_lock lock(m_mutex);
  CountCall("StartConnect");
  SimSocket& s = m_sockets.at(socket);
  if (Away(m_nowMs)) {
    s.connect = SimSocket::Connect::kRefused;
  } else if (Chance(m_faults.connectTimeout)) {
    s.connect = SimSocket::Connect::kSilent;
  } else {
    s.connect = SimSocket::Connect::kAnswers;
    s.answerAtMs = m_nowMs + 1 + m_random() % 50;
  }
  return platform::ConnectStart::kPending;
}

platform::ConnectWait VirtualSystem::WaitConnected(Socket socket, uint32_t timeoutMs, bool refusalEndsWait) {
  std::unique_lock lock(m_mutex);
  CountCall("WaitConnected");
  CheckNotHoldingMutex("a connection wait");
  SimSocket& s = m_sockets.at(socket);
  if (s.connect == SimSocket::Connect::kAnswers) {
    if (!Block(lock, [&] { return m_nowMs >= s.answerAtMs; }, m_nowMs + timeoutMs)) {
      return platform::ConnectWait::kNoAnswer;
    }
    s.connected = true;
    Connection& c = s.stream;
    c.start = c.delivered = StreamEnd(m_nowMs);
    for (const auto& a : m_away) {
      if (a.first > m_nowMs) c.endsAtMs = std::min(c.endsAtMs, a.first);
    }
    c.nextLine = static_cast<size_t>(
        std::lower_bound(m_lines.begin(), m_lines.end(), c.start,
                         [](const SentLine& l, uint64_t offset) { return l.offset < offset; }) -
        m_lines.begin());
    return platform::ConnectWait::kConnected;
  }
  if (s.connect == SimSocket::Connect::kRefused && refusalEndsWait) {
    Block(lock, nullptr, m_nowMs);
    return platform::ConnectWait::kRefused;
  }
  Block(lock, nullptr, m_nowMs + timeoutMs);
  return platform::ConnectWait::kNoAnswer;
}

bool VirtualSystem::BindSocket(Socket socket) {
  std::unique_lock lock(m_mutex);
  CountCall("BindSocket");
  SimSocket& s = m_sockets.at(socket);
  s.bound = true;
  size_t next = static_cast<size_t>(
      std::upper_bound(m_lines.begin(), m_lines.end(), m_nowMs,
                       [](uint64_t t, const SentLine& l) { return t < l.atMs; }) -
      m_lines.begin());
  while (next < m_lines.size() && !m_lines[next].datagramStart) ++next;
  s.nextDatagram = next;
  return true;
}

int VirtualSystem::WaitForSocketOrEvents(Socket socket, const Handle* events, size_t count, uint32_t timeoutMs) {
  std::unique_lock lock(m_mutex);
  CountCall("WaitForSocketOrEvents");
  const auto found = m_sockets.find(socket);
  if (found == m_sockets.end()) Fail("a wait on a socket that is not open");
  for (size_t i = 0; i < count; ++i) {
    if (m_events.count(events[i]) == 0) return -1;
  }
  CheckNotHoldingMutex("a wait for data");
  SimSocket& s = found->second;
  const auto readable = [&] {
    if (s.kind == platform::SocketKind::kDatagram) {
      return s.bound && s.nextDatagram < m_lines.size() && m_lines[s.nextDatagram].atMs <= m_nowMs;
    }
    return s.connected && Available(s.stream) > 0;
  };
  const auto event = [&]() -> int {
    for (size_t i = 0; i < count; ++i) {
      if (EventSet(events[i])) return static_cast<int>(i);
    }
    return -1;
  };
  Block(lock, [&] { return readable() || event() >= 0; }, m_nowMs + timeoutMs);
  if (readable()) return 0;
  return event() >= 0 ? event() + 1 : -1;
}

bool VirtualSystem::StreamEnded(Socket socket) {
  std::unique_lock lock(m_mutex);
  CountCall("StreamEnded");
  const SimSocket& s = m_sockets.at(socket);
  return !s.connected || (m_nowMs >= s.stream.endsAtMs && Available(s.stream) == 0);
}

ptrdiff_t VirtualSystem::Receive(Socket socket, void* buffer, size_t capacity) {
  std::unique_lock lock(m_mutex);
  CountCall("Receive");
  if (Chance(50)) Block(lock, nullptr, m_nowMs);  // let another thread run here
  SimSocket& s = m_sockets.at(socket);
  if (!s.connected) return -1;
  Connection& c = s.stream;
  if (Available(c) > 0) {
    if (Chance(m_faults.readError)) {
      c.limit = c.delivered;  // a reset: what the system held is gone
      c.endsAtMs = m_nowMs;
      return -1;
    }
    if (Chance(m_faults.zeroRead)) return -1;
    return static_cast<ptrdiff_t>(Deliver(c, static_cast<uint8_t*>(buffer), capacity));
  }
  return m_nowMs >= c.endsAtMs ? 0 : -1;
}

ptrdiff_t VirtualSystem::ReceiveDatagram(Socket socket, void* buffer, size_t capacity) {
  std::unique_lock lock(m_mutex);
  CountCall("ReceiveDatagram");
  SimSocket& s = m_sockets.at(socket);
  if (!s.bound || s.nextDatagram >= m_lines.size() || m_lines[s.nextDatagram].atMs > m_nowMs) return -1;
  if (Chance(m_faults.datagramError)) return -1;
  size_t end = s.nextDatagram + 1;
  while (end < m_lines.size() && !m_lines[end].datagramStart) ++end;
  std::string datagram;
  for (size_t i = s.nextDatagram; i < end; ++i) datagram += m_lines[i].bytes;
  if (datagram.size() > capacity) Fail("a datagram larger than the plug-in's area");
  std::memcpy(buffer, datagram.data(), datagram.size());
  for (size_t i = s.nextDatagram; i < end; ++i) m_wholeAt[i] = m_nowMs;
  m_bytesThisSecond += datagram.size();
  s.nextDatagram = end;
  return static_cast<ptrdiff_t>(datagram.size());
}

void VirtualSystem::CloseSocket(Socket socket) {
  std::unique_lock lock(m_mutex);
  CountCall("CloseSocket");
  if (m_sockets.erase(socket) == 0) Fail("a socket that is not open was closed");
}

}  // namespace vf::sim
