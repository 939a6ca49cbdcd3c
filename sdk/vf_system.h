// The Linux stand-in for the system services that a Windows host gets from
// user32 and kernel32: top-level windows with message queues, looked up by
// title, and the machine-wide named mutex that guards the shared trace files.
//
// Host and plug-in both link libvfsystem.so. Each process keeps its windows'
// queues; titled windows are also entered in a list in POSIX shared memory,
// one per user (and VF_OBJECT_NAMESPACE), so that VfFindWindow finds the
// windows of the user's other processes, as FindWindow does on Windows. Named
// mutexes live in POSIX shared memory and are shared between processes.
#pragma once

#include <cstdint>

#include "ais_plugin.h"

extern "C" {

struct VfMessage {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

// Windows: a queue of posted messages. A queue holds at most 10000 messages;
// further posts fail, as they do on Windows.
HostWindow VfCreateWindow(const char16_t* title);
void VfDestroyWindow(HostWindow window);
// This process's window with the title, else another live process's (whose
// queue is its own: a post to it fails).
HostWindow VfFindWindow(const char16_t* title);
// 1 while the window exists (IsWindow), of this process or another.
int VfIsWindow(HostWindow window);
int VfPostMessage(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// 1: a message was taken off the queue; 0: none within timeoutMs; -1: no such window.
int VfGetMessage(HostWindow window, VfMessage* out, int32_t timeoutMs);
// Up to `capacity` messages at once, waiting up to timeoutMs for the first:
// how many were taken (0 when none came), or -1 when there is no such window.
int VfGetMessages(HostWindow window, VfMessage* out, int capacity, int32_t timeoutMs);

// Named mutexes of the user's own, as Windows keeps them: the next waiter
// takes over from a holder that dies, and a mutex lives while any process
// holds a handle to it. The host creates it; the plug-in only opens it.
struct VfNamedMutex;
VfNamedMutex* VfCreateNamedMutex(const char16_t* name);
VfNamedMutex* VfOpenNamedMutex(const char16_t* name);  // null when nobody created it
// 0: acquired; 1: acquired from a holder that died; -1: time-out or failure.
int VfWaitNamedMutex(VfNamedMutex* mutex, uint32_t timeoutMs);
void VfReleaseNamedMutex(VfNamedMutex* mutex);
// Closes this handle; the last handle's close also removes the name.
void VfCloseNamedMutex(VfNamedMutex* mutex);

}  // extern "C"
