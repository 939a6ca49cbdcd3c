#include "critical_section.h"

#include <windows.h>

#include <new>

namespace vf::platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "the storage holds a critical section");

static CRITICAL_SECTION* Native(unsigned char* storage) { return reinterpret_cast<CRITICAL_SECTION*>(storage); }

CriticalSection::CriticalSection() { InitializeCriticalSection(new (m_storage) CRITICAL_SECTION); }
CriticalSection::~CriticalSection() { DeleteCriticalSection(Native(m_storage)); }
void CriticalSection::NativeEnter() { EnterCriticalSection(Native(m_storage)); }
void CriticalSection::NativeLeave() { LeaveCriticalSection(Native(m_storage)); }

}  // namespace vf::platform
