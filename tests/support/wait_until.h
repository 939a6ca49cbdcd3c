// Waiting for a condition with a deadline, for state that other threads or
// processes change.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace vf::test {

inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace vf::test
