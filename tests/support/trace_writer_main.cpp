// A separate process that writes to the shared trace, for the cross-process
// tests. "write <name> <count>": writes that many entries, retrying a line
// that was dropped because the mutex was busy. "hold <name> <count>": writes,
// then takes the mutex, says "held" on stdout and waits to be killed.
// "create <name> <count>": creates, takes, releases and closes the mutex that
// many times, as hosts that start and end together do.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ais_plugin.h"
#include "diag/trace_file.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "vf_system.h"

namespace {

bool WriteEntries(vf::platform::Handle mutex, const std::u16string& source, int count) {
  const std::u16string path = vf::TraceFilePath(vf::platform::CommonAppDataFolder(), u"General");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int line = 1; line <= count;) {
    const std::string text = "line " + std::to_string(line);
    if (vf::AppendTraceEntry(mutex, path, 1.0, vf::kTraceProgress, source, std::u16string(text.begin(), text.end()))) {
      ++line;
    } else if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s write|hold|create <name> <count>\n", argv[0]);
    return 2;
  }
  const std::string name = argv[2];
  if (std::strcmp(argv[1], "create") == 0) {
    for (int i = std::atoi(argv[3]); i > 0; --i) {
      VfNamedMutex* created = VfCreateNamedMutex(kAisTraceMutexName);
      if (created == nullptr || VfWaitNamedMutex(created, 10000) < 0) return 6;
      VfReleaseNamedMutex(created);
      VfCloseNamedMutex(created);
    }
    return 0;
  }
  vf::platform::Handle mutex = vf::platform::OpenNamedMutex(kAisTraceMutexName);
  if (mutex == nullptr) {
    std::fprintf(stderr, "no trace mutex: start the host first\n");
    return 3;
  }
  if (!WriteEntries(mutex, std::u16string(name.begin(), name.end()), std::atoi(argv[3]))) return 4;
  if (std::strcmp(argv[1], "hold") == 0) {
    if (vf::platform::WaitForNamedMutex(mutex, 10000) == vf::platform::MutexWait::kFailed) return 5;
    std::printf("held\n");
    std::fflush(stdout);
    for (;;) pause();
  }
  vf::platform::CloseNamedMutex(mutex);
  return 0;
}
