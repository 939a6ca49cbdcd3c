#include "thread.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include "native_calls.h"

namespace vf::platform {
namespace {

struct ThreadState {
  std::mutex lock;
  std::condition_variable ended_signal;
  bool ended = false;
  std::thread thread;
};

struct ThreadHandle {
  std::shared_ptr<ThreadState> state;
};

}  // namespace

Handle native::StartThread(ThreadProc proc, void* argument) {
  auto* handle = new (std::nothrow) ThreadHandle;
  if (handle == nullptr) return InvalidHandle();
  try {  // no memory or no thread: a failed start, never an exception
    handle->state = std::make_shared<ThreadState>();
    std::shared_ptr<ThreadState> state = handle->state;
    std::lock_guard<std::mutex> guard(state->lock);  // the thread must not finish before it is stored
    state->thread = std::thread([state, proc, argument] {
      proc(argument);
      std::lock_guard<std::mutex> done(state->lock);
      state->ended = true;
      state->ended_signal.notify_all();
    });
  } catch (...) {
    delete handle;
    return InvalidHandle();
  }
  return handle;
}

bool native::WaitForThread(Handle thread, uint32_t timeoutMs) {
  if (!IsHeld(thread)) return false;
  ThreadState& state = *static_cast<ThreadHandle*>(thread)->state;
  std::unique_lock<std::mutex> guard(state.lock);
  if (!state.ended_signal.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return state.ended; })) {
    return false;
  }
  guard.unlock();
  if (state.thread.joinable()) state.thread.join();  // it is past its last step; join is immediate
  return true;
}

void native::CloseThread(Handle thread) {
  if (!IsHeld(thread)) return;
  auto* handle = static_cast<ThreadHandle*>(thread);
  {
    std::lock_guard<std::mutex> guard(handle->state->lock);
    if (handle->state->thread.joinable()) handle->state->thread.detach();
  }
  delete handle;
}

}  // namespace vf::platform
