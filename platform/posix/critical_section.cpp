#include "critical_section.h"

#include <pthread.h>

#include <new>

namespace vf::platform {

static_assert(sizeof(pthread_mutex_t) <= 64, "native lock fits its storage");

static pthread_mutex_t* Native(unsigned char* storage) { return reinterpret_cast<pthread_mutex_t*>(storage); }

CriticalSection::CriticalSection() {
  // Recursive, as a Windows critical section is.
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (m_storage) pthread_mutex_t, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

CriticalSection::~CriticalSection() { pthread_mutex_destroy(Native(m_storage)); }
void CriticalSection::NativeEnter() { pthread_mutex_lock(Native(m_storage)); }
void CriticalSection::NativeLeave() { pthread_mutex_unlock(Native(m_storage)); }

}  // namespace vf::platform
