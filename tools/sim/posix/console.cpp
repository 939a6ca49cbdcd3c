#include "console.h"

#include <unistd.h>

#include <csignal>

namespace vf::sim {

void PrepareStandardStreams() { std::signal(SIGPIPE, SIG_IGN); }

bool ErrorsGoToATerminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace vf::sim
