#include "console.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace vf::sim {

// Text mode would write CR CR LF for each line's CR LF.
void PrepareStandardStreams() { _setmode(_fileno(stdout), _O_BINARY); }

bool ErrorsGoToATerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace vf::sim
