// Machine-wide named mutexes: a robust, process-shared pthread mutex in a
// POSIX shared-memory object. A holder that dies leaves the mutex "owner
// dead"; the next waiter makes it consistent and owns it.
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "vf_system.h"

struct VfNamedMutex {
  struct Shared {
    uint32_t magic;
    pthread_mutex_t mutex;
  };
  Shared* shared = nullptr;
  bool creator = false;
  std::string object_name;
};

namespace {

constexpr uint32_t kReadyMagic = 0x56464d58;  // "VFMX": initialised

void AppendPortable(std::string& out, std::u16string_view text) {
  for (const char16_t c : text) {
    const bool portable = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' || c == u'.';
    out += portable ? static_cast<char>(c) : '_';
  }
}

// "/vf-mutex-<name>", or "/vf-mutex-<namespace>-<name>" when
// VF_OBJECT_NAMESPACE is set: a private set of names, like a Windows session
// namespace, so that separate hosts (or tests) on one machine keep apart.
std::string ObjectName(const char16_t* name) {
  std::string result = "/vf-mutex-";
  if (const char* space = std::getenv("VF_OBJECT_NAMESPACE"); space != nullptr && *space != '\0') {
    const std::string_view narrow(space);
    AppendPortable(result, std::u16string(narrow.begin(), narrow.end()));
    result += '-';
  }
  AppendPortable(result, name != nullptr ? std::u16string_view(name) : std::u16string_view());
  return result;
}

VfNamedMutex::Shared* Map(int fd) {
  void* area = mmap(nullptr, sizeof(VfNamedMutex::Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return area == MAP_FAILED ? nullptr : static_cast<VfNamedMutex::Shared*>(area);
}

bool InitialiseMutex(VfNamedMutex::Shared* shared) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutex_init(&shared->mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  if (ok) __atomic_store_n(&shared->magic, kReadyMagic, __ATOMIC_RELEASE);
  return ok;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) VfNamedMutex* VfCreateNamedMutex(const char16_t* name) {
  auto* handle = new VfNamedMutex;
  handle->object_name = ObjectName(name);
  handle->creator = true;
  int fd = shm_open(handle->object_name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
  const bool fresh = fd >= 0;
  if (!fresh) fd = shm_open(handle->object_name.c_str(), O_RDWR, 0666);  // left by an earlier host
  if (fd < 0 || (fresh && (fchmod(fd, 0666) != 0 || ftruncate(fd, sizeof(VfNamedMutex::Shared)) != 0))) {
    if (fd >= 0) close(fd);
    delete handle;
    return nullptr;
  }
  handle->shared = Map(fd);
  close(fd);
  const bool ready = handle->shared != nullptr &&
                     (__atomic_load_n(&handle->shared->magic, __ATOMIC_ACQUIRE) == kReadyMagic ||
                      InitialiseMutex(handle->shared));
  if (!ready) {
    VfCloseNamedMutex(handle);
    return nullptr;
  }
  return handle;
}

__attribute__((visibility("default"))) VfNamedMutex* VfOpenNamedMutex(const char16_t* name) {
  const std::string object_name = ObjectName(name);
  const int fd = shm_open(object_name.c_str(), O_RDWR, 0);
  if (fd < 0) return nullptr;
  struct stat info {};
  VfNamedMutex::Shared* shared = nullptr;
  if (fstat(fd, &info) == 0 && info.st_size >= static_cast<off_t>(sizeof(VfNamedMutex::Shared))) {
    shared = Map(fd);
  }
  close(fd);
  if (shared == nullptr) return nullptr;
  if (__atomic_load_n(&shared->magic, __ATOMIC_ACQUIRE) != kReadyMagic) {
    munmap(shared, sizeof(VfNamedMutex::Shared));
    return nullptr;
  }
  auto* handle = new VfNamedMutex;
  handle->shared = shared;
  handle->object_name = object_name;
  return handle;
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
  if (mutex->shared != nullptr) munmap(mutex->shared, sizeof(VfNamedMutex::Shared));
  if (mutex->creator) shm_unlink(mutex->object_name.c_str());
  delete mutex;
}

}  // extern "C"
