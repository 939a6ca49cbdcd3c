// Process-wide registry of host windows with their message queues; titled
// windows are also entered in the user's shared list, where other processes
// find them by title as FindWindow finds any program's window.
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <vector>
#include <map>
#include <optional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "shared_window_list.h"
#include "vf_system.h"

namespace {

constexpr size_t kQueueLimit = 10000;

// A queue's lock spins a little before it sleeps: the poster and the taker
// each hold it for a few copies, and a thread put to sleep and woken for so
// short a wait costs far more (tens of microseconds in a virtual machine).
class AdaptiveMutex {
 public:
  AdaptiveMutex() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
    pthread_mutex_init(&m_mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
  }
  ~AdaptiveMutex() { pthread_mutex_destroy(&m_mutex); }
  void lock() { pthread_mutex_lock(&m_mutex); }
  void unlock() { pthread_mutex_unlock(&m_mutex); }

 private:
  pthread_mutex_t m_mutex;
};

// Each queue has a lock of its own, so that a plug-in posting and a host
// taking messages meet only there; the registry's lock is shared by both and
// taken exclusively only to create or destroy a window.
struct Window {
  std::u16string title;
  std::optional<vf::posix_system::SharedWindowEntry> shared;
  AdaptiveMutex lock;
  // A ring of kQueueLimit slots, made at the first post: posting and taking
  // allocate nothing.
  std::vector<VfMessage> ring;
  size_t first = 0;
  size_t count = 0;
  std::condition_variable_any posted;
};

struct Registry {
  std::shared_mutex lock;
  std::map<uintptr_t, std::shared_ptr<Window>> windows;
  uintptr_t next_id = 0x1000;
};

Registry& TheRegistry() {
  static Registry registry;  // built on first use; C++ guarantees a thread-safe start
  return registry;
}

uintptr_t IdOf(HostWindow window) { return reinterpret_cast<uintptr_t>(window); }

// Another process's window: its place in the shared list, under a bit that
// this process's own ids never reach.
constexpr uintptr_t kForeignBit = uintptr_t{1} << 62;

HostWindow ForeignHandle(const vf::posix_system::SharedWindowEntry& entry) {
  return reinterpret_cast<HostWindow>(kForeignBit | (uintptr_t{entry.slot} << 32) | entry.serial);
}

vf::posix_system::SharedWindowEntry ForeignEntry(HostWindow window) {
  const uintptr_t id = IdOf(window) & ~kForeignBit;
  return {static_cast<uint32_t>(id >> 32), static_cast<uint32_t>(id)};
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) HostWindow VfCreateWindow(const char16_t* title) {
  auto window = std::make_shared<Window>();
  if (title) window->title = title;
  window->shared = vf::posix_system::EnterSharedWindow(window->title);
  Registry& registry = TheRegistry();
  std::unique_lock guard(registry.lock);
  const uintptr_t id = registry.next_id++;
  registry.windows.emplace(id, std::move(window));
  return reinterpret_cast<HostWindow>(id);
}

__attribute__((visibility("default"))) void VfDestroyWindow(HostWindow window) {
  std::shared_ptr<Window> gone;
  {
    Registry& registry = TheRegistry();
    std::unique_lock guard(registry.lock);
    auto found = registry.windows.find(IdOf(window));
    if (found == registry.windows.end()) return;
    gone = std::move(found->second);
    registry.windows.erase(found);
  }
  if (gone->shared) vf::posix_system::RemoveSharedWindow(*gone->shared);
}

__attribute__((visibility("default"))) HostWindow VfFindWindow(const char16_t* title) {
  const std::u16string_view wanted = title ? title : u"";  // no copy: the plug-in asks once per line
  {
    Registry& registry = TheRegistry();
    std::shared_lock guard(registry.lock);
    for (const auto& [id, window] : registry.windows) {
      if (window->title == wanted) return reinterpret_cast<HostWindow>(id);
    }
  }
  const auto foreign = vf::posix_system::FindForeignWindow(wanted);
  return foreign ? ForeignHandle(*foreign) : nullptr;
}

__attribute__((visibility("default"))) int VfIsWindow(HostWindow window) {
  if ((IdOf(window) & kForeignBit) != 0) return vf::posix_system::ForeignWindowExists(ForeignEntry(window)) ? 1 : 0;
  Registry& registry = TheRegistry();
  std::shared_lock guard(registry.lock);
  return registry.windows.find(IdOf(window)) != registry.windows.end() ? 1 : 0;
}

__attribute__((visibility("default"))) int VfPostMessage(HostWindow window, uint32_t message,
                                                         uintptr_t wParam, intptr_t lParam) {
  Registry& registry = TheRegistry();
  std::shared_lock guard(registry.lock);  // the window stays while it is held
  auto found = registry.windows.find(IdOf(window));
  if (found == registry.windows.end()) return 0;
  Window& target = *found->second;
  bool wasEmpty = false;
  {
    std::lock_guard queueGuard(target.lock);
    if (target.count >= kQueueLimit) return 0;
    if (target.ring.empty()) target.ring.resize(kQueueLimit);
    wasEmpty = target.count == 0;
    target.ring[(target.first + target.count++) % kQueueLimit] = VfMessage{message, wParam, lParam};
  }
  // A reader waits only on an empty queue: one wake-up per batch, not per message.
  if (wasEmpty) target.posted.notify_all();
  return 1;
}

__attribute__((visibility("default"))) int VfGetMessages(HostWindow window, VfMessage* out, int capacity,
                                                         int32_t timeoutMs) {
  std::shared_ptr<Window> target;
  {
    Registry& registry = TheRegistry();
    std::shared_lock guard(registry.lock);
    auto found = registry.windows.find(IdOf(window));
    if (found == registry.windows.end()) return -1;
    target = found->second;  // stays alive if destroyed meanwhile
  }
  std::unique_lock queueGuard(target->lock);
  if (target->count == 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!target->posted.wait_until(queueGuard, deadline, [&] { return target->count != 0; })) return 0;
  }
  int taken = 0;
  for (; taken < capacity && target->count != 0; ++taken, --target->count) {
    out[taken] = target->ring[target->first];
    target->first = (target->first + 1) % kQueueLimit;
  }
  return taken;
}

__attribute__((visibility("default"))) int VfGetMessage(HostWindow window, VfMessage* out, int32_t timeoutMs) {
  return VfGetMessages(window, out, 1, timeoutMs);
}

}  // extern "C"
