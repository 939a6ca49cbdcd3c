// What the simulator asks of the console it runs in.
#pragma once

namespace vf::sim {

// Standard output takes the lines' bytes as they are (CR LF stays CR LF),
// and a reader that goes away costs a failed write, not the process.
void PrepareStandardStreams();
// Whether progress can be redrawn in place on standard error.
bool ErrorsGoToATerminal();

}  // namespace vf::sim
