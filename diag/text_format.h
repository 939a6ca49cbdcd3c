// printf-style formatting of wide text with typed arguments. It knows the
// conversions that the plug-in's messages use: %ld and %d (integers), %ls
// (text), %.3lf and %lf (numbers) and %% (a percent sign).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "ais_shared_string.h"

namespace vf {

class FormatArg {
 public:
  FormatArg(int32_t value) : m_kind(Kind::kInteger), m_integer(value) {}  // NOLINT: implicit by design
  FormatArg(int64_t value) : m_kind(Kind::kInteger), m_integer(value) {}  // NOLINT
  FormatArg(uint32_t value) : m_kind(Kind::kInteger), m_integer(value) {}  // NOLINT
  FormatArg(double value) : m_kind(Kind::kNumber), m_number(value) {}  // NOLINT
  FormatArg(std::u16string_view value) : m_kind(Kind::kText), m_text(value) {}  // NOLINT
  FormatArg(const std::u16string& value) : m_kind(Kind::kText), m_text(value) {}  // NOLINT
  FormatArg(const char16_t* value) : m_kind(Kind::kText), m_text(value != nullptr ? value : u"") {}  // NOLINT
  FormatArg(const CWideString& value) : m_kind(Kind::kText), m_text(value.View()) {}  // NOLINT

  void AppendTo(std::u16string& out, char16_t conversion, int precision) const;

 private:
  enum class Kind { kInteger, kNumber, kText };
  Kind m_kind;
  int64_t m_integer = 0;
  double m_number = 0.0;
  std::u16string_view m_text;
};

// Conversions without a matching argument produce nothing; unknown ones are
// copied as they stand.
std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args = {});

}  // namespace vf
