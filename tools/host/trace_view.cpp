#include "trace_view.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "diag/trace_file.h"
#include "platform/files.h"

namespace vf::host {

std::filesystem::path TraceFile(const char16_t* category) {
  return std::filesystem::path(vf::TraceFilePath(vf::platform::CommonAppDataFolder(), category));
}

bool EnsureTracingFolder(std::string& error) {
  const std::filesystem::path folder = TraceFile(vf::kTraceCategoryGeneral).parent_path();
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (failure) {
    error = "cannot create the trace folder " + folder.string() + " (" + failure.message() +
            "); run as a user who may, or set PROGRAMDATA to a folder of your own";
    return false;
  }
  // The plug-in rewrites the files in place: each must open for writing
  // (opened to append, a file keeps what it holds).
  for (const char16_t* category : {vf::kTraceCategoryGeneral, vf::kTraceCategoryReceived}) {
    const std::filesystem::path file = TraceFile(category);
    if (!std::ofstream(file, std::ios::binary | std::ios::app)) {
      error = "the trace file " + file.string() + " cannot be written, so the plug-in will trace nothing there; " +
              "give this user write access to it, or set PROGRAMDATA to a folder of your own";
      return false;
    }
  }
  return true;
}

std::vector<std::string> LastTraceEntries(VfNamedMutex* traceMutex, const char16_t* category, size_t count) {
  if (traceMutex == nullptr || VfWaitNamedMutex(traceMutex, vf::kTraceMutexWaitMs) < 0) return {};
  const auto bytes = vf::platform::ReadWholeFile(vf::TraceFilePath(vf::platform::CommonAppDataFolder(), category));
  VfReleaseNamedMutex(traceMutex);
  if (!bytes) return {};

  // A counter line, then entries; every line ends in CR (CR) LF.
  std::vector<std::string> entries;
  size_t at = bytes->find('\n');
  while (at != std::string::npos && at + 1 < bytes->size()) {
    const size_t end = bytes->find('\n', at + 1);
    std::string line = bytes->substr(at + 1, (end == std::string::npos ? bytes->size() : end) - at - 1);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    entries.push_back(std::move(line));
    at = end;
  }
  if (entries.size() > count) entries.erase(entries.begin(), entries.end() - static_cast<ptrdiff_t>(count));
  return entries;
}

int64_t NotPostedInThisRun(const std::vector<std::string>& entries) {
  int64_t count = 0;
  for (const std::string& entry : entries) {
    const size_t message = entry.find("] ");
    if (message == std::string::npos) continue;
    if (entry.compare(message + 2, std::string::npos, "Plugin started.") == 0) count = 0;
    if (entry.find("could not be posted", message) == std::string::npos) continue;
    const size_t digits = entry.find_first_of("0123456789", message);
    if (digits != std::string::npos) count = std::max<int64_t>(count, std::atoll(entry.c_str() + digits));
  }
  return count;
}

int64_t EntryNumber(const std::string& entry) { return std::atoll(entry.c_str()); }

std::string ReadableEntry(const std::string& entry) {
  const size_t timeAt = entry.find('|') + 1, levelAt = entry.find('|', timeAt) + 1;
  const size_t textAt = levelAt == 0 ? std::string::npos : entry.find('|', levelAt);
  if (timeAt == 0 || levelAt == 0 || textAt == std::string::npos) return entry;
  const double seconds = std::atof(entry.c_str() + timeAt);
  const auto whole = static_cast<time_t>(std::floor(seconds));
  const std::tm utc = *std::gmtime(&whole);  // the host reads its trace from one thread
  char time[32];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d UTC", utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>((seconds - std::floor(seconds)) * 1000.0));
  const char* level = "";
  switch (std::atoi(entry.c_str() + levelAt)) {
    case vf::kTraceError: level = " error"; break;
    case vf::kTraceSuccess: level = " done"; break;
    case vf::kTraceReceived: level = " received"; break;
  }
  return std::string(time) + level + " " + entry.substr(textAt + 1);
}

std::vector<std::string> PluginEntriesAfter(const std::vector<std::string>& entries, int64_t after) {
  std::vector<std::string> mine;
  for (const std::string& entry : entries) {
    if (EntryNumber(entry) > after && entry.find("|[AIS] ") != std::string::npos) mine.push_back(entry);
  }
  return mine;
}

bool LinkOpened(const std::vector<std::string>& runEntries) {
  return std::any_of(runEntries.begin(), runEntries.end(), [](const std::string& entry) {
    for (const char* opened : {"] TCP connection established.", "] Successfully opened serial port", "] UDP session started.",
                               "] Reconnected: "}) {
      if (entry.find(opened) != std::string::npos) return true;
    }
    return false;
  });
}

}  // namespace vf::host
