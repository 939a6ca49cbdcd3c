#include "event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "event_fd.h"
#include "native_calls.h"

namespace vf::platform {
namespace {

struct Event {
  uint32_t magic;
  int fd;
};
constexpr uint32_t kEventMagic = 0x45564e54;  // "EVNT"

Event* AsEvent(Handle handle) {
  if (!IsHeld(handle)) return nullptr;
  auto* event = static_cast<Event*>(handle);
  return event->magic == kEventMagic ? event : nullptr;
}

}  // namespace

namespace posix {
int EventDescriptor(Handle handle) {
  Event* event = AsEvent(handle);
  return event ? event->fd : -1;
}
}  // namespace posix

Handle native::CreateManualResetEvent() {
  const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) return InvalidHandle();
  auto* event = new (std::nothrow) Event{kEventMagic, fd};
  if (event == nullptr) {
    close(fd);
    return InvalidHandle();
  }
  return event;
}

void native::SetEvent(Handle handle) {
  if (Event* event = AsEvent(handle)) {
    const uint64_t one = 1;
    // The counter only grows until a reset drains it; a full counter is still "set".
    [[maybe_unused]] ssize_t written = write(event->fd, &one, sizeof one);
  }
}

void native::ResetEvent(Handle handle) {
  if (Event* event = AsEvent(handle)) {
    uint64_t drained = 0;
    [[maybe_unused]] ssize_t got = read(event->fd, &drained, sizeof drained);
  }
}

void native::CloseEvent(Handle handle) {
  if (Event* event = AsEvent(handle)) {
    close(event->fd);
    event->magic = 0;
    delete event;
  }
}

int native::WaitForAnyEvent(const Handle* events, size_t count, uint32_t timeoutMs) {
  // As WaitForMultipleObjects, at most 64 events: the list lives on the
  // stack, so the device loop's waits allocate nothing.
  constexpr size_t kMostEvents = 64;
  if (count == 0 || count > kMostEvents) return -2;
  pollfd polled[kMostEvents];
  for (size_t i = 0; i < count; ++i) {
    const int fd = posix::EventDescriptor(events[i]);
    if (fd < 0) return -2;
    polled[i] = pollfd{fd, POLLIN, 0};
  }
  const int timeout = timeoutMs == kWaitForever ? -1 : static_cast<int>(timeoutMs);
  int ready;
  do {
    ready = poll(polled, static_cast<nfds_t>(count), timeout);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return -2;
  for (size_t i = 0; i < count; ++i) {
    if (polled[i].revents & POLLIN) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace vf::platform
