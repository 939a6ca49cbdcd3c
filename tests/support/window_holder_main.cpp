// Another program with a top-level window: opens a window titled argv[1],
// says "ready", and keeps it until SIGTERM, then closes it and ends. SIGKILL
// ends it without closing, as a crash would.
#include <signal.h>

#include <cstdio>
#include <string>

#include "vf_system.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  const std::string title = argv[1];
  const HostWindow window = VfCreateWindow(std::u16string(title.begin(), title.end()).c_str());
  std::printf("ready\n");
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  VfDestroyWindow(window);
  return 0;
}
