#include "system_access.h"

#include <dlfcn.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

namespace vf::host {

void* OpenLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "unknown reason";
  }
  return library;
}

void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }
void CloseLibrary(void* library) { dlclose(library); }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

size_t StandardErrorColumns() {
  winsize size{};
  return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void OnStopSignals(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace vf::host
