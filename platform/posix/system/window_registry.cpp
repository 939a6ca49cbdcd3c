// Process-wide registry of host windows with their message queues.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "vf_system.h"

namespace {

constexpr size_t kQueueLimit = 10000;

struct Window {
  std::u16string title;
  std::deque<VfMessage> queue;
  std::condition_variable posted;
};

struct Registry {
  std::mutex lock;
  std::map<uintptr_t, std::shared_ptr<Window>> windows;
  uintptr_t next_id = 0x1000;
};

Registry& TheRegistry() {
  static Registry registry;  // built on first use; C++ guarantees a thread-safe start
  return registry;
}

uintptr_t IdOf(HostWindow window) { return reinterpret_cast<uintptr_t>(window); }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) HostWindow VfCreateWindow(const char16_t* title) {
  auto window = std::make_shared<Window>();
  if (title) window->title = title;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  const uintptr_t id = registry.next_id++;
  registry.windows.emplace(id, std::move(window));
  return reinterpret_cast<HostWindow>(id);
}

__attribute__((visibility("default"))) void VfDestroyWindow(HostWindow window) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  registry.windows.erase(IdOf(window));
}

__attribute__((visibility("default"))) HostWindow VfFindWindow(const char16_t* title) {
  const std::u16string_view wanted = title ? title : u"";  // no copy: the plug-in asks once per line
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  for (const auto& [id, window] : registry.windows) {
    if (window->title == wanted) return reinterpret_cast<HostWindow>(id);
  }
  return nullptr;
}

__attribute__((visibility("default"))) int VfPostMessage(HostWindow window, uint32_t message,
                                                         uintptr_t wParam, intptr_t lParam) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto found = registry.windows.find(IdOf(window));
  if (found == registry.windows.end()) return 0;
  Window& target = *found->second;
  if (target.queue.size() >= kQueueLimit) return 0;
  target.queue.push_back(VfMessage{message, wParam, lParam});
  target.posted.notify_all();
  return 1;
}

__attribute__((visibility("default"))) int VfGetMessage(HostWindow window, VfMessage* out,
                                                        int32_t timeoutMs) {
  Registry& registry = TheRegistry();
  std::unique_lock<std::mutex> guard(registry.lock);
  auto found = registry.windows.find(IdOf(window));
  if (found == registry.windows.end()) return -1;
  std::shared_ptr<Window> target = found->second;  // stays alive if destroyed meanwhile
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!target->posted.wait_until(guard, deadline, [&] { return !target->queue.empty(); })) return 0;
  *out = target->queue.front();
  target->queue.pop_front();
  return 1;
}

}  // extern "C"
