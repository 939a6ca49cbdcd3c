#include "links/line_text.h"

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

}  // namespace vf::links
