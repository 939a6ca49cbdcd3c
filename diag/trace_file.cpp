#include "trace_file.h"

#include <new>
#include <vector>

#include "config/decimal_text.h"
#include "diag/text_format.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "platform/text_codec.h"

namespace vf {
namespace {

constexpr size_t kPathCapacity = 260;  // characters, terminator included
constexpr size_t kReadPieceLimit = 2047;

// Text-mode files: on disk every line end is CR LF; in memory it is LF. The
// same bytes are written on every platform.
std::u16string DecodeTextMode(const std::string& bytes) {
  std::string folded;
  folded.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    folded += bytes[i];
  }
  return platform::AnsiToWide(folded);
}

void EncodeTextMode(std::u16string_view text, std::string& out) {
  const std::string narrow = platform::WideToAnsi(text);
  for (char c : narrow) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

// Reads like fgetws with a 2048-character buffer: up to and including a line
// feed, or 2047 characters, whichever comes first.
std::u16string_view NextPiece(std::u16string_view text, size_t& position) {
  const size_t begin = position;
  size_t end = begin;
  while (end < text.size() && end - begin < kReadPieceLimit) {
    if (text[end++] == u'\n') break;
  }
  position = end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::u16string TraceFilePath(std::u16string_view folder, std::u16string_view category) {
  const char16_t separator = platform::PathSeparator();
  std::u16string path(folder);
  path.append(1, separator).append(u"VestraFold").append(1, separator).append(u"Tracing");
  path.append(1, separator).append(u"Trace_").append(category).append(u".txt");
  if (path.size() > kPathCapacity - 1) path.resize(kPathCapacity - 1);
  return path;
}

std::u16string FormatTraceEntry(int64_t sequence, double time, int32_t level, std::u16string_view source,
                                std::u16string_view message) {
  std::u16string line = FormatText(u"%ld|%.3lf|%ld|[%ls] ", {sequence, time, level, source});
  line.append(message);
  std::u16string escaped;
  escaped.reserve(line.size() + 8);
  for (char16_t c : line) {
    switch (c) {
      case u'\r': escaped.append(u"<CR>"); break;
      case u'\n': escaped.append(u"<LF>"); break;
      case u'\t': escaped.append(u"<TAB>"); break;
      default: escaped += c;
    }
  }
  return escaped;
}

namespace {

// Adds one entry to the file, keeping the newest entries and the counter;
// the caller holds the mutex.
bool RewriteWithEntry(const std::u16string& path, double time, int32_t level, std::u16string_view source,
                      std::u16string_view message, TraceRewrite rewrite) {
  int32_t counter = 0;
  std::vector<std::u16string_view> lines;
  const std::optional<std::string> bytes = platform::ReadWholeFile(path);
  const std::u16string text = bytes ? DecodeTextMode(*bytes) : std::u16string();
  size_t position = 0;
  if (!text.empty()) {
    counter = ParseSignedDecimal(NextPiece(text, position));
    while (position < text.size()) lines.push_back(NextPiece(text, position));
  }

  // A signed 32-bit count, as the host's own writers keep it: past its
  // largest value it goes on from the most negative one instead of sticking.
  const auto next = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
  const std::u16string entry = FormatTraceEntry(next, time, level, source, message) + u"\r\n";
  lines.push_back(entry);

  std::string out;
  EncodeTextMode(FormatText(u"%ld\n", {int64_t{next}}), out);
  const size_t first = lines.size() > kTraceEntryLimit ? lines.size() - kTraceEntryLimit : 0;
  for (size_t i = first; i < lines.size(); ++i) EncodeTextMode(lines[i], out);
  return rewrite == TraceRewrite::kReplace ? platform::ReplaceWholeFile(path, out)
                                           : platform::RewriteWholeFile(path, out);
}

}  // namespace

bool AppendTraceEntry(platform::Handle mutex, const std::u16string& path, double time, int32_t level,
                      std::u16string_view source, std::u16string_view message, TraceRewrite rewrite) {
  if (!platform::IsHeld(mutex)) return false;
  // An abandoned mutex is ours after the wait; a file that a dead holder
  // was rewriting may be cut short, and is read as far as it goes.
  if (platform::WaitForNamedMutex(mutex, kTraceMutexWaitMs) == platform::MutexWait::kFailed) return false;
  // Released on every way out: memory that runs out while the file is
  // rewritten must not leave every writer of every process waiting.
  struct Held {
    platform::Handle mutex;
    ~Held() { platform::ReleaseNamedMutex(mutex); }
  } held{mutex};
  try {
    return RewriteWithEntry(path, time, level, source, message, rewrite);
  } catch (const std::bad_alloc&) {
    return false;  // a failure to trace is silent
  }
}

}  // namespace vf
