#include "links/line_text.h"

#include <algorithm>

#include "platform/text_codec.h"

namespace vf::links {

void LineText::Set(std::string_view bytes, CWideString& line) {
  if (bytes.empty()) {
    line.Truncate(0);  // an empty line keeps the block for the next one
    return;
  }
  platform::AnsiToWide(bytes, m_wide);
  line.Assign(m_wide);
}

void DatagramLines::Take(std::string_view datagram) {
  m_text.assign(datagram);
  m_nNext = 0;
}

bool DatagramLines::Next(std::string_view& line) {
  while (Pending()) {
    const size_t end = std::min(m_text.find_first_of("\r\n", m_nNext), m_text.size());
    line = std::string_view(m_text).substr(m_nNext, end - m_nNext);
    m_nNext = end + 1;
    if (!line.empty()) return true;
  }
  return false;
}

}  // namespace vf::links
