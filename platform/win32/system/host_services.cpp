// The services of vf_system.h for a Windows host, from user32 and kernel32:
// real top-level windows with their thread's message queue, and named
// mutexes. A window's messages are taken on the thread that created it.
#include <windows.h>

#include "vf_system.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VestrafoldHostWindow";

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
HWND AsWindow(HostWindow window) { return static_cast<HWND>(window); }
HANDLE AsMutex(VfNamedMutex* mutex) { return reinterpret_cast<HANDLE>(mutex); }

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

extern "C" {

HostWindow VfCreateWindow(const char16_t* title) {
  if (!RegisterWindowClass()) return nullptr;
  // Top-level (not message-only), so that FindWindowW finds it by title; never shown.
  return CreateWindowExW(0, kWindowClass, Wide(title), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 200,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void VfDestroyWindow(HostWindow window) {
  if (window != nullptr) DestroyWindow(AsWindow(window));
}

HostWindow VfFindWindow(const char16_t* title) { return FindWindowW(nullptr, Wide(title)); }

int VfIsWindow(HostWindow window) { return IsWindow(AsWindow(window)) ? 1 : 0; }

int VfPostMessage(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageW(AsWindow(window), message, wParam, lParam) ? 1 : 0;
}

int VfGetMessage(HostWindow window, VfMessage* out, int32_t timeoutMs) {
  if (!IsWindow(AsWindow(window))) return -1;
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    MSG message{};
    if (PeekMessageW(&message, AsWindow(window), 0, 0, PM_REMOVE)) {
      *out = VfMessage{message.message, message.wParam, message.lParam};
      return 1;
    }
    const auto left = static_cast<int32_t>(deadline - GetTickCount());
    if (left <= 0) return 0;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_POSTMESSAGE);
  }
}

int VfGetMessages(HostWindow window, VfMessage* out, int capacity, int32_t timeoutMs) {
  if (capacity <= 0) return IsWindow(AsWindow(window)) ? 0 : -1;
  const int first = VfGetMessage(window, out, timeoutMs);
  if (first != 1) return first;
  int taken = 1;
  for (MSG message{}; taken < capacity && PeekMessageW(&message, AsWindow(window), 0, 0, PM_REMOVE); ++taken) {
    out[taken] = VfMessage{message.message, message.wParam, message.lParam};
  }
  return taken;
}

VfNamedMutex* VfCreateNamedMutex(const char16_t* name) {
  return reinterpret_cast<VfNamedMutex*>(CreateMutexW(nullptr, FALSE, Wide(name)));
}

VfNamedMutex* VfOpenNamedMutex(const char16_t* name) {
  return reinterpret_cast<VfNamedMutex*>(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, Wide(name)));
}

int VfWaitNamedMutex(VfNamedMutex* mutex, uint32_t timeoutMs) {
  if (mutex == nullptr) return -1;
  switch (WaitForSingleObject(AsMutex(mutex), timeoutMs)) {
    case WAIT_OBJECT_0: return 0;
    case WAIT_ABANDONED: return 1;
    default: return -1;
  }
}

void VfReleaseNamedMutex(VfNamedMutex* mutex) {
  if (mutex != nullptr) ReleaseMutex(AsMutex(mutex));
}

void VfCloseNamedMutex(VfNamedMutex* mutex) {
  if (mutex != nullptr) CloseHandle(AsMutex(mutex));
}

}  // extern "C"
