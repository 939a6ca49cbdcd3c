// What the reference host needs from the operating system beyond the SDK:
// loading a library by path, whether a stream is a terminal, and the
// signals that stop it.
#pragma once

#include <cstddef>
#include <string>

namespace vf::host {

// A loaded library, or null with `error` saying why.
void* OpenLibrary(const std::string& path, std::string& error);
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);

bool StandardErrorIsTerminal();
// The width of the terminal standard error writes to; 0 when unknown.
size_t StandardErrorColumns();

// Ctrl-C and termination requests call `handler`; a closed pipe does not kill.
void OnStopSignals(void (*handler)(int));

}  // namespace vf::host
