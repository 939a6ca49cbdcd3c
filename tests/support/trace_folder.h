// A private machine for trace tests: its own application-data folder and its
// own set of named objects, so that tests running side by side keep apart.
// Build it before the plug-in object, which opens the mutex when it is made.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "ais_plugin.h"
#include "vf_system.h"

namespace vf::test {

class TraceFolder {
 public:
  struct Options {
    bool hostMutex = true;     // the host has created "VestrafoldSurveyLog"
    bool tracingFolder = true;  // "VestraFold/Tracing" exists
  };

  TraceFolder() : TraceFolder(Options{}) {}
  explicit TraceFolder(Options options) {
    static std::atomic<int> serial{0};
    const std::string tag = "trace-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    m_root = std::filesystem::temp_directory_path() / tag;
    std::filesystem::create_directories(m_root);
    setenv("PROGRAMDATA", m_root.c_str(), 1);
    setenv("VF_OBJECT_NAMESPACE", tag.c_str(), 1);
    if (options.tracingFolder) std::filesystem::create_directories(TracingFolder());
    if (options.hostMutex) m_mutex = VfCreateNamedMutex(kAisTraceMutexName);
  }
  ~TraceFolder() {
    VfCloseNamedMutex(m_mutex);
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
    unsetenv("PROGRAMDATA");
    unsetenv("VF_OBJECT_NAMESPACE");
  }
  TraceFolder(const TraceFolder&) = delete;
  TraceFolder& operator=(const TraceFolder&) = delete;

  VfNamedMutex* HostMutex() const { return m_mutex; }
  // As a host that ends before the others.
  void CloseHostMutex() {
    VfCloseNamedMutex(m_mutex);
    m_mutex = nullptr;
  }
  std::filesystem::path TracingFolder() const { return m_root / "VestraFold" / "Tracing"; }
  std::filesystem::path FileOf(const std::string& category) const {
    return TracingFolder() / ("Trace_" + category + ".txt");
  }

  // The file's bytes, or nothing when it does not exist.
  std::optional<std::string> Read(const std::string& category) const {
    std::ifstream in(FileOf(category), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const std::string& category, const std::string& bytes) const {
    std::ofstream(FileOf(category), std::ios::binary) << bytes;
  }

  // Everything under the folder, for "nothing was touched".
  std::vector<std::string> Contents() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root)) {
      names.push_back(entry.path().lexically_relative(m_root).string());
    }
    return names;
  }

 private:
  std::filesystem::path m_root;
  VfNamedMutex* m_mutex = nullptr;
};

// The entry lines of a trace file as written: each ends in CR CR LF.
inline std::vector<std::string> EntryLines(const std::string& bytes) {
  std::vector<std::string> lines;
  const size_t first = bytes.find("\r\n");
  for (size_t at = first == std::string::npos ? bytes.size() : first + 2; at < bytes.size();) {
    size_t end = bytes.find("\r\r\n", at);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(at, end - at));
    at = end + 3;
  }
  return lines;
}

// The message of each entry (what follows "[source] "), with the entry's
// level in front ("32|...") when asked.
inline std::vector<std::string> EntryMessages(const std::string& bytes, bool withLevel = false) {
  std::vector<std::string> messages;
  for (const std::string& entry : EntryLines(bytes)) {
    std::string message = entry.substr(entry.find("] ") + 2);
    if (withLevel) {
      const size_t level = entry.find('|', entry.find('|') + 1) + 1;
      message = entry.substr(level, entry.find('|', level) - level) + "|" + message;
    }
    messages.push_back(message);
  }
  return messages;
}

// The status trace's messages.
inline std::vector<std::string> StatusMessages(const TraceFolder& folder, bool withLevel = false) {
  return EntryMessages(folder.Read("General").value_or(""), withLevel);
}

// How many of the status trace's messages are `message`, or begin with
// `start`.
inline size_t StatusCount(const TraceFolder& folder, const std::string& message) {
  const std::vector<std::string> messages = StatusMessages(folder);
  return static_cast<size_t>(std::count(messages.begin(), messages.end(), message));
}
inline size_t StatusCountStartingWith(const TraceFolder& folder, const std::string& start) {
  size_t count = 0;
  for (const std::string& message : StatusMessages(folder)) count += message.rfind(start, 0) == 0;
  return count;
}

inline std::string CounterLine(const std::string& bytes) { return bytes.substr(0, bytes.find("\r\n")); }

}  // namespace vf::test
