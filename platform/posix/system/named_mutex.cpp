// Named mutexes as Windows keeps them, for one user: a robust,
// process-shared pthread mutex in a POSIX shared-memory object that lives
// while any process holds it. A holder that dies leaves the mutex "owner
// dead"; the next waiter makes it consistent and owns it.
//
// Made race-free: the object is sized (posix_fallocate: a full /dev/shm is
// an error, not a SIGBUS later) and initialised under a name of its own, then
// linked to the real name, which only one creator can win. A count of the
// handles open on it lets the last one to close remove the name.
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "dead_objects.h"
#include "object_names.h"
#include "vf_system.h"

struct VfNamedMutex {
  struct Shared {
    uint32_t magic;
    int32_t handles;  // open handles of every process; the last to close removes the name
    pthread_mutex_t mutex;
  };
  Shared* shared = nullptr;
  std::string object_name;
};

namespace {

constexpr uint32_t kReadyMagic = 0x56464d58;  // "VFMX": initialised
constexpr int kOpenAttempts = 1000;

// "/vf-mutex-u<uid>-[<namespace>-]<name>".
std::string ObjectName(const char16_t* name) {
  std::string result = vf::posix_system::UserObjectPrefix("mutex");
  vf::posix_system::AppendPortable(result, name != nullptr ? std::u16string_view(name) : std::u16string_view());
  return result;
}

VfNamedMutex::Shared* Map(int fd) {
  void* area = mmap(nullptr, sizeof(VfNamedMutex::Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return area == MAP_FAILED ? nullptr : static_cast<VfNamedMutex::Shared*>(area);
}

void Unmap(VfNamedMutex::Shared* shared) { munmap(shared, sizeof(VfNamedMutex::Shared)); }

bool InitialiseMutex(VfNamedMutex::Shared* shared) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutex_init(&shared->mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  shared->handles = 0;
  if (ok) __atomic_store_n(&shared->magic, kReadyMagic, __ATOMIC_RELEASE);
  return ok;
}

// A new object under a name of its own, ready to use, linked to the real
// name; false when another creator's object holds the name already (or on
// failure: then errno is not EEXIST).
bool Publish(const std::string& object_name) {
  static std::atomic<int> serial{0};
  const std::string scratch = object_name + "-new-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
  const int fd = shm_open(scratch.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  bool ready = posix_fallocate(fd, 0, sizeof(VfNamedMutex::Shared)) == 0;
  if (ready) {
    VfNamedMutex::Shared* shared = Map(fd);
    ready = shared != nullptr && InitialiseMutex(shared);
    if (shared != nullptr) Unmap(shared);
  }
  close(fd);
  const std::string folder = vf::posix_system::kSharedMemoryFolder;
  const bool linked = ready && link((folder + scratch).c_str(), (folder + object_name).c_str()) == 0;
  const int linkError = errno;
  shm_unlink(scratch.c_str());
  errno = ready ? linkError : EIO;
  return linked;
}

// Opens the published object and counts this handle; null when there is
// none, or when the one there is being removed by its last closer.
VfNamedMutex* OpenPublished(const std::string& object_name, bool& retry) {
  retry = false;
  const int fd = shm_open(object_name.c_str(), O_RDWR, 0);
  if (fd < 0) return nullptr;
  struct stat info {};
  VfNamedMutex::Shared* shared = nullptr;
  if (fstat(fd, &info) == 0 && info.st_size >= static_cast<off_t>(sizeof(VfNamedMutex::Shared))) shared = Map(fd);
  close(fd);
  if (shared == nullptr || __atomic_load_n(&shared->magic, __ATOMIC_ACQUIRE) != kReadyMagic) {
    if (shared != nullptr) Unmap(shared);
    return nullptr;
  }
  if (__atomic_fetch_add(&shared->handles, 1, __ATOMIC_ACQ_REL) < 0) {
    // Its last handle was closed and the name is going: wait for a new one.
    __atomic_fetch_sub(&shared->handles, 1, __ATOMIC_ACQ_REL);
    Unmap(shared);
    retry = true;
    return nullptr;
  }
  auto* handle = new VfNamedMutex;
  handle->shared = shared;
  handle->object_name = object_name;
  return handle;
}

VfNamedMutex* Open(const std::string& object_name, bool create) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    bool retry = false;
    if (VfNamedMutex* handle = OpenPublished(object_name, retry)) return handle;
    if (retry) {
      // A last closer removes the name at once; one that died before it did
      // leaves a dead object, which a creator takes the name from.
      if (create && attempt > kOpenAttempts / 2) shm_unlink(object_name.c_str());
      sched_yield();
      continue;
    }
    if (!create) return nullptr;
    if (!Publish(object_name) && errno != EEXIST) return nullptr;
    // Ours or another creator's: either way it is there to open now.
  }
  return nullptr;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) VfNamedMutex* VfCreateNamedMutex(const char16_t* name) {
  vf::posix_system::RemoveDeadObjects();  // a host starts: what killed hosts left goes
  return Open(ObjectName(name), true);
}

__attribute__((visibility("default"))) VfNamedMutex* VfOpenNamedMutex(const char16_t* name) {
  return Open(ObjectName(name), false);
}

__attribute__((visibility("default"))) int VfWaitNamedMutex(VfNamedMutex* mutex, uint32_t timeoutMs) {
  if (mutex == nullptr || mutex->shared == nullptr) return -1;
#if defined(__SANITIZE_THREAD__)
  // ThreadSanitizer (GCC 12) does not know pthread_mutex_clocklock and would
  // see every release as unpaired; under it the wait uses the wall clock.
  constexpr clockid_t kClock = CLOCK_REALTIME;
#else
  constexpr clockid_t kClock = CLOCK_MONOTONIC;  // a wall-clock change cannot stretch the wait
#endif
  timespec deadline{};
  clock_gettime(kClock, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
#if defined(__SANITIZE_THREAD__)
  const int result = pthread_mutex_timedlock(&mutex->shared->mutex, &deadline);
#else
  const int result = pthread_mutex_clocklock(&mutex->shared->mutex, kClock, &deadline);
#endif
  if (result == 0) return 0;
  if (result == EOWNERDEAD) {
    pthread_mutex_consistent(&mutex->shared->mutex);
    return 1;
  }
  return -1;
}

__attribute__((visibility("default"))) void VfReleaseNamedMutex(VfNamedMutex* mutex) {
  if (mutex != nullptr && mutex->shared != nullptr) pthread_mutex_unlock(&mutex->shared->mutex);
}

__attribute__((visibility("default"))) void VfCloseNamedMutex(VfNamedMutex* mutex) {
  if (mutex == nullptr) return;
  if (mutex->shared != nullptr) {
    // The last handle: mark the object as going (openers back off and make a
    // new one) and remove its name.
    int32_t handles = __atomic_load_n(&mutex->shared->handles, __ATOMIC_ACQUIRE);
    for (;;) {
      const int32_t left = handles <= 1 ? -1 : handles - 1;
      if (__atomic_compare_exchange_n(&mutex->shared->handles, &handles, left, false, __ATOMIC_ACQ_REL,
                                      __ATOMIC_ACQUIRE)) {
        if (left < 0) shm_unlink(mutex->object_name.c_str());
        break;
      }
    }
    Unmap(mutex->shared);
  }
  delete mutex;
}

}  // extern "C"
