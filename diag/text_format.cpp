#include "text_format.h"

#include <cstdio>

namespace vf {

void FormatArg::AppendTo(std::u16string& out, char16_t conversion, int precision) const {
  char digits[64];
  int length = 0;
  if (conversion == u's') {
    if (m_kind == Kind::kText) out.append(m_text);
    return;
  }
  if (conversion == u'f') {
    const double value = m_kind == Kind::kNumber ? m_number : static_cast<double>(m_integer);
    length = std::snprintf(digits, sizeof digits, "%.*f", precision < 0 ? 6 : precision, value);
  } else {
    const int64_t value = m_kind == Kind::kInteger ? m_integer : static_cast<int64_t>(m_number);
    length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
  }
  for (int i = 0; i < length && i < static_cast<int>(sizeof digits); ++i) out += static_cast<char16_t>(digits[i]);
}

std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  out.reserve(format.size() + 32);
  const FormatArg* next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out += format[i];
      continue;
    }
    const size_t start = i;
    if (i + 1 < format.size() && format[i + 1] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    int precision = -1;
    size_t j = i + 1;
    if (j < format.size() && format[j] == u'.') {
      precision = 0;
      for (++j; j < format.size() && format[j] >= u'0' && format[j] <= u'9'; ++j) {
        precision = precision * 10 + (format[j] - u'0');
      }
    }
    while (j < format.size() && format[j] == u'l') ++j;
    const char16_t conversion = j < format.size() ? format[j] : u'\0';
    if (conversion == u'd' || conversion == u's' || conversion == u'f') {
      if (next != args.end()) (next++)->AppendTo(out, conversion, precision);
      i = j;
    } else {
      out.append(format.substr(start, j - start));  // not a conversion of ours: keep it
      i = j - 1;
    }
  }
  return out;
}

}  // namespace vf
