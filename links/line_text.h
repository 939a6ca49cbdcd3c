// What the stream links share in cutting lines out of their receive buffers:
// finding a line end with the C library's scanners, and handing the line to
// the caller's string without a fresh allocation per line.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "ais_shared_string.h"

namespace vf::links {

// The first CR or LF in [begin, end), or `end`.
inline const char* FindLineEnd(const char* begin, const char* end) {
  const auto size = static_cast<size_t>(end - begin);
  const void* carriageReturn = std::memchr(begin, '\r', size);
  const size_t before = carriageReturn != nullptr ? static_cast<size_t>(static_cast<const char*>(carriageReturn) - begin)
                                                  : size;
  if (const void* lineFeed = std::memchr(begin, '\n', before)) return static_cast<const char*>(lineFeed);
  return begin + before;
}

// The collected bytes as the line's text through the code page. The
// conversion buffer and the line's own block are kept from line to line.
class LineText {
 public:
  void Set(std::string_view bytes, CWideString& line);

 private:
  std::u16string m_wide;
};

// A datagram that holds several lines (receivers send both sentences of a
// message in one), handed out a line at a time, empty lines skipped.
class DatagramLines {
 public:
  void Take(std::string_view datagram);
  bool Pending() const { return m_nNext < m_text.size(); }
  // The next line without its line end, valid until the next Take; false
  // when none is left.
  bool Next(std::string_view& line);

 private:
  std::string m_text;
  size_t m_nNext = 0;
};

}  // namespace vf::links
