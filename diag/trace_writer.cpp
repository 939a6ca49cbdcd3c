#include "diag/trace_writer.h"

#include <new>

#include "ais_plugin.h"
#include "diag/trace_file.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/named_mutex.h"

namespace vf {

void TraceWriter::Open() {
  if (m_hLogMutex == nullptr) m_hLogMutex = platform::OpenNamedMutex(kAisTraceMutexName);
}

void TraceWriter::Close() {
  if (m_hLogMutex != nullptr) platform::CloseNamedMutex(m_hLogMutex);
  m_hLogMutex = nullptr;
}

void TraceWriter::WriteTrace(double time, int32_t level, std::u16string_view category, std::u16string_view format,
                             std::initializer_list<FormatArg> args) const {
  if (m_hLogMutex == nullptr) return;  // no host mutex: the host keeps no trace
  try {
    const std::u16string path = TraceFilePath(platform::CommonAppDataFolder(), category);
    AppendTraceEntry(m_hLogMutex, path, time, level, m_strSource, FormatText(format, args), m_rewrite);
  } catch (const std::bad_alloc&) {
    // A failure to trace is silent: it must not end the caller's work.
  }
}

void TraceWriter::TraceStatus(int32_t level, std::u16string_view format, std::initializer_list<FormatArg> args) const {
  WriteTrace(platform::SystemTimeSeconds(), level, kTraceCategoryGeneral, format, args);
}

}  // namespace vf
