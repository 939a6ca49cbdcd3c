// A deterministic world for the plug-in: virtual time, a receiver on the far
// side of its link, the host's window and the trace files, all played through
// the system-call table. The plug-in's threads are real threads, but only one
// runs at a time: every system call is a point where the scheduler may hand
// the turn to another, chosen by the seed. Waits end at virtual times, so a
// schedule of minutes runs in milliseconds, and a seed replays it exactly.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/system_calls.h"

namespace vf::sim {

constexpr uint64_t kNever = UINT64_MAX;

enum class LinkKind { kSerial, kTcp, kUdp };

// One line as the receiver sends it: its first `split` bytes at `atMs`, the
// rest at `restMs` (the same time for nearly every line).
struct SentLine {
  uint64_t atMs = 0;
  uint64_t restMs = 0;
  std::string bytes;  // with its CR LF
  size_t split = 0;
  uint32_t id = 0;
  bool datagramStart = true;  // UDP: begins a datagram; the lines up to the next start share it
  uint64_t offset = 0;        // of its first byte in the stream (set by the world)
};

// Chances per call, in thousandths, and the window's room.
struct Faults {
  int zeroRead = 0;       // a read that finds nothing though bytes wait
  int shortRead = 0;      // a read that takes only some of what waits
  int readError = 0;      // serial: the device resets (the port must be opened again); TCP: the connection resets
  int openRefused = 0;    // serial: the port is held by another program
  int lookupFail = 0;     // the receiver's name does not resolve
  int lookupSlow = 0;     // the name server takes up to 20 s
  int connectTimeout = 0; // no answer to a connection request
  int datagramError = 0;  // a receive fails
  int traceWriteFail = 0; // the trace file cannot be written
  int allocFail = 0;      // per allocation of the plug-in's code, in millionths
  int noResources = 0;    // an event or a thread cannot be made
  uint64_t failAllocation = 0;  // this allocation of the plug-in's code alone fails (1: the first)
  size_t windowRoom = 0;  // records the host's queue holds; 0: no limit
};

struct TraceLine {
  uint64_t atMs;
  std::string text;
};

class VirtualSystem {
 public:
  // The calling thread becomes the host's first thread and holds the turn.
  VirtualSystem(uint64_t seed, std::vector<SentLine> lines,
                std::vector<std::pair<uint64_t, uint64_t>> away, Faults faults);
  ~VirtualSystem();
  VirtualSystem(const VirtualSystem&) = delete;
  VirtualSystem& operator=(const VirtualSystem&) = delete;

  uint64_t Now() const { return m_nowMs; }
  // The host's thread: sleeps in virtual time.
  void SleepUntil(uint64_t ms);
  // Another host thread; it runs when the scheduler gives it the turn.
  void StartHostThread(std::function<void()> body);
  // Waits (in virtual time) until every thread but the caller has ended;
  // false if one is still running at `deadlineMs`.
  bool WaitForOtherThreads(uint64_t deadlineMs);
  // Runs `call` as plug-in code: allocations in it may fail.
  template <typename Call>
  auto AsPlugin(Call call) {
    struct Scope {
      bool saved;
      Scope() : saved(InSimulation()) { InSimulation() = false; }
      ~Scope() { InSimulation() = saved; }
    } scope;
    return call();
  }
  // Records the host's window took off its queue: their MMSIs, in order.
  std::vector<uint32_t> TakeRecords();

  // A broken rule: printed with the seed, and the process ends.
  [[noreturn]] void Fail(const std::string& why);

  HostWindow Window() const { return reinterpret_cast<HostWindow>(uintptr_t{0x3000}); }
  const std::vector<TraceLine>& Traces() const { return m_traces; }
  const std::vector<uint64_t>& OpenAttempts() const { return m_openAttempts; }
  const std::vector<SentLine>& Lines() const { return m_lines; }
  // When each line was handed whole to the plug-in (kNever: it was not).
  const std::vector<uint64_t>& WholeAt() const { return m_wholeAt; }
  bool Away(uint64_t ms) const;
  // Handles, sockets and ports still open; the trace mutex's holder.
  std::string Leftovers() const;
  uint64_t MostCallsInAQuietSecond() const { return m_mostQuietCalls; }
  const std::string& CallsOfTheQuietestSecond() const { return m_quietestCalls; }
  uint64_t Seed() const { return m_seed; }

  // Whether the calling thread runs simulation code (no allocation fails).
  static bool& InSimulation();
  // The world in force, for the allocation hook.
  static VirtualSystem* Current();
  bool AllocationFails();

 private:
  struct Task {
    int id = 0;
    std::thread thread;
    std::condition_variable turn;  // signalled when the turn is this task's
    bool started = false;
    bool blocked = true;
    bool done = false;
    bool result = false;
    uint64_t untilMs = 0;
    std::function<bool()> ready;
  };
  struct Connection {  // a serial port's open, or a TCP connection
    uint64_t start = 0;       // stream offset of the first byte it sees
    uint64_t delivered = 0;   // stream offset handed out so far
    uint64_t endsAtMs = kNever;   // TCP: the receiver closes the connection then
    uint64_t limit = UINT64_MAX;  // TCP: a reset loses what had not been read
    uint64_t generation = 0;  // the device's, at the open
    size_t nextLine = 0;      // the first line not yet handed out whole
  };
  struct SimSocket {
    platform::SocketKind kind;
    enum class Connect { kNone, kAnswers, kRefused, kSilent } connect = Connect::kNone;
    uint64_t answerAtMs = 0;
    bool connected = false;
    Connection stream;
    size_t nextDatagram = 0;  // UDP: index of the next line that starts a datagram
    bool bound = false;
  };

  static VirtualSystem* s_current;

  // The turn: the caller blocks until `ready` (or `untilMs`), the scheduler
  // runs whoever may run next. True when `ready` ended the wait.
  bool Block(std::unique_lock<std::mutex>& lock, std::function<bool()> ready, uint64_t untilMs);
  void PassTurn(std::unique_lock<std::mutex>& lock, int self);
  void AdvanceTo(uint64_t ms);
  uint64_t NextWorldChange() const;
  int Self() const;
  void JoinEndedThreads();
  bool Chance(int perMille);
  void CountCall(const char* what);

  uint64_t StreamEnd(uint64_t ms) const;  // offset of the bytes sent by then
  uint64_t Available(const Connection& c) const;
  size_t Deliver(Connection& c, uint8_t* buffer, size_t capacity);
  uint64_t Generation() const;
  bool EventSet(platform::Handle event) const;
  void CheckNotHoldingMutex(const char* where);


 public:  // the table's entries, reached through Current()
  uint32_t TickCount();
  void Sleep(uint32_t ms);
  int WaitForAnyEvent(const platform::Handle* events, size_t count, uint32_t timeoutMs);
  platform::Handle CreateEvent();
  void SetEvent(platform::Handle event, bool set);
  void CloseEvent(platform::Handle event);
  void EnterSection(const void* section);
  void LeaveSection(const void* section);
  platform::Handle StartThread(platform::ThreadProc proc, void* argument);
  bool WaitForThread(platform::Handle thread, uint32_t timeoutMs);
  void CloseThread(platform::Handle thread);
  platform::Handle OpenNamedMutex();
  void CloseNamedMutex();
  platform::MutexWait WaitForNamedMutex(uint32_t timeoutMs);
  void ReleaseNamedMutex();
  std::optional<std::string> ReadWholeFile(const std::u16string& path);
  bool RewriteWholeFile(const std::u16string& path, const std::string& bytes);
  bool PostToWindow(intptr_t record);
  platform::Handle OpenSerialPort(platform::SerialOpenResult& result);
  platform::SerialRead ReadSerialPort(platform::Handle port, uint8_t* buffer, size_t capacity, uint32_t timeoutMs,
                                      platform::Handle stopEvent, size_t& bytes);
  void CloseSerialPort(platform::Handle port);
  bool LookUpAddress(const platform::NameQuery& query, platform::SocketAddress& address,
                     const platform::Abandon& abandon);
  platform::Socket OpenSocket(platform::SocketKind kind);
  platform::ConnectStart StartConnect(platform::Socket socket);
  platform::ConnectWait WaitConnected(platform::Socket socket, uint32_t timeoutMs, bool refusalEndsWait);
  bool BindSocket(platform::Socket socket);
  int WaitForSocketOrEvents(platform::Socket socket, const platform::Handle* events, size_t count,
                            uint32_t timeoutMs);
  bool StreamEnded(platform::Socket socket);
  ptrdiff_t Receive(platform::Socket socket, void* buffer, size_t capacity);
  ptrdiff_t ReceiveDatagram(platform::Socket socket, void* buffer, size_t capacity);
  void CloseSocket(platform::Socket socket);
  void Touch(const char* what, platform::Socket socket);  // a call on a socket that must be open

 private:
  const uint64_t m_seed;
  std::vector<SentLine> m_lines;
  std::vector<std::pair<uint64_t, uint64_t>> m_away;
  const Faults m_faults;
  std::mt19937_64 m_random;
  std::mt19937_64 m_allocRandom;
  uint64_t m_allocations = 0;
  uint32_t m_bootTick;  // the tick count at virtual 0: near the 32-bit wrap

  mutable std::mutex m_mutex;
  std::vector<std::unique_ptr<Task>> m_tasks;
  int m_turn = 0;
  uint64_t m_nowMs = 0;
  uint64_t m_callsSinceTimeMoved = 0;
  std::map<std::string, uint64_t> m_callsByName;
  std::string m_quietestCalls;
  uint64_t m_second = 0, m_callsThisSecond = 0, m_bytesThisSecond = 0, m_mostQuietCalls = 0;

  uintptr_t m_nextHandle = 0x10000;
  std::map<platform::Handle, bool> m_events;
  std::map<platform::Handle, int> m_threads;  // handle -> task
  std::map<platform::Handle, Connection> m_ports;
  std::map<platform::Socket, SimSocket> m_sockets;
  uint64_t m_glitches = 0;
  std::vector<uint64_t> m_glitchTimes;
  struct Section {
    int owner = -1;
    int depth = 0;
  };
  std::map<const void*, Section> m_sections;
  int m_mutexOwner = -1, m_mutexDepth = 0, m_mutexOpen = 0;
  std::map<std::u16string, std::string> m_files;
  std::vector<TraceLine> m_traces;
  std::vector<uint64_t> m_openAttempts;
  std::vector<uint64_t> m_wholeAt;
  std::vector<intptr_t> m_window;
};

}  // namespace vf::sim
