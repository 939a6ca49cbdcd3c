// A lock for threads of one process.
#pragma once

namespace vf::platform {

class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // Through the system-call table, so that a simulation can schedule them.
  void Enter();
  void Leave();
  // The system's own lock.
  void NativeEnter();
  void NativeLeave();

 private:
  alignas(16) unsigned char m_storage[64];  // the native lock, placed here by the backend
};

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~CriticalSectionLock() { m_section.Leave(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CriticalSection& m_section;
};

}  // namespace vf::platform
