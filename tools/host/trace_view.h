// The host's side of the shared trace files: it makes their folder, and it
// reads the status trace back to explain a failed link.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "vf_system.h"

namespace vf::host {

std::filesystem::path TraceFile(const char16_t* category);

// Creates "<application data>/VestraFold/Tracing" when it is missing (the
// plug-in never does); false with `error` saying why when it cannot.
bool EnsureTracingFolder(std::string& error);

// The last `count` entries of a trace file, read under the trace mutex.
std::vector<std::string> LastTraceEntries(VfNamedMutex* traceMutex, const char16_t* category, size_t count);

// How many records the plug-in has said it could not post since the last
// "Plugin started." among the status trace's entries.
int64_t NotPostedInThisRun(const std::vector<std::string>& entries);

}  // namespace vf::host
