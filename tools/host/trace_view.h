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
// plug-in never does) and checks that its trace files can be written; false
// with `error` saying why and what to do when not.
bool EnsureTracingFolder(std::string& error);

// The last `count` entries of a trace file, read under the trace mutex.
std::vector<std::string> LastTraceEntries(VfNamedMutex* traceMutex, const char16_t* category, size_t count);

// How many records the plug-in has said it could not post since the last
// "Plugin started." among the status trace's entries.
int64_t NotPostedInThisRun(const std::vector<std::string>& entries);

// The number an entry starts with ("12|1.000|4|[AIS] ..." gives 12); 0 for
// none. The host reads the last one before it starts the plug-in.
int64_t EntryNumber(const std::string& entry);
// The plug-in's own entries ("[AIS] ") numbered above `after`: what it said
// during this run, not other programs' lines or older ones.
std::vector<std::string> PluginEntriesAfter(const std::vector<std::string>& entries, int64_t after);
// An entry as a person reads it: "02:00:01.250 UTC error [AIS] ..." from
// "12|1796608801.250|1|[AIS] ..."; an entry of another form as it is.
std::string ReadableEntry(const std::string& entry);
// Whether this run's entries say the link opened.
bool LinkOpened(const std::vector<std::string>& runEntries);

}  // namespace vf::host
