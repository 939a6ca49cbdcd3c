// The shared, rolling trace files: a counter line, then at most 200 entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/handle.h"

namespace vf {

constexpr size_t kTraceEntryLimit = 200;
constexpr uint32_t kTraceMutexWaitMs = 50;
constexpr const char16_t* kTraceCategoryGeneral = u"General";
constexpr const char16_t* kTraceCategoryReceived = u"AIS.dll";

enum TraceLevel : int32_t { kTraceError = 1, kTraceProgress = 4, kTraceSuccess = 32, kTraceReceived = 64 };

// "<folder>\VestraFold\Tracing\Trace_<category>.txt" with the platform's
// separator, cut to the 259 characters that the path buffer holds.
std::u16string TraceFilePath(std::u16string_view folder, std::u16string_view category);

// One entry line without its line end: header, message, CR/LF/TAB escaped.
std::u16string FormatTraceEntry(int64_t sequence, double time, int32_t level, std::u16string_view source,
                                std::u16string_view message);

// How the file takes a new entry: replaced in one step (a writer killed
// meanwhile leaves the old file or the new), or rewritten in place as the
// host's own writers do it.
enum class TraceRewrite { kReplace, kInPlace };

// Adds one entry under the named mutex, waiting at most 50 ms for it. False
// when the line was dropped: no mutex, a busy mutex, or a file that cannot
// be written. Without the mutex the file is not touched.
bool AppendTraceEntry(platform::Handle mutex, const std::u16string& path, double time, int32_t level,
                      std::u16string_view source, std::u16string_view message,
                      TraceRewrite rewrite = TraceRewrite::kReplace);

}  // namespace vf
