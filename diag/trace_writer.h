// The plug-in's trace: entries in the shared trace files, under the host's
// named mutex, which is held from Open to Close.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "diag/text_format.h"
#include "diag/trace_file.h"
#include "platform/handle.h"

namespace vf {

class TraceWriter {
 public:
  explicit TraceWriter(std::u16string_view source) : m_strSource(source) {}
  ~TraceWriter() { Close(); }
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  // Opens the mutex the host created; without it nothing is traced.
  void Open();
  void UseRewrite(TraceRewrite rewrite) { m_rewrite = rewrite; }
  void Close();

  // One entry; `format` takes the arguments in the manner of wprintf. An
  // entry that cannot be written (no memory, no file) is dropped silently.
  void WriteTrace(double time, int32_t level, std::u16string_view category, std::u16string_view format,
                  std::initializer_list<FormatArg> args = {}) const;
  // A status line: category "General", the system clock's time.
  void TraceStatus(int32_t level, std::u16string_view format, std::initializer_list<FormatArg> args = {}) const;

 private:
  std::u16string m_strSource;
  platform::Handle m_hLogMutex = nullptr;
  TraceRewrite m_rewrite = TraceRewrite::kReplace;
};

}  // namespace vf
