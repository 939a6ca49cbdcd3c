#include "sentence_checks.h"

#include <array>

#include "config/decimal_text.h"

namespace vf::nmea {
namespace {

constexpr size_t kShortestCheckedLine = 6;
constexpr size_t kVdmFields = 7;

}  // namespace

void DoublePercentSigns(std::u16string_view line, std::u16string& out) {
  out.assign(line);
  for (size_t at = out.find(u'%'); at != std::u16string::npos; at = out.find(u'%', at + 2)) out.insert(at, 1, u'%');
}

bool PassesChecksum(std::string_view s) {
  const size_t n = s.size();
  if (n < kShortestCheckedLine) return false;
  if (s[n - 3] != '*') return true;
  const size_t star = s.rfind('*');
  const uint8_t expected = static_cast<uint8_t>(ParseUnsigned(s.substr(star + 1), 16));
  uint8_t sum = 0;
  for (size_t i = 1; i + 3 < n; ++i) sum ^= static_cast<uint8_t>(s[i]);
  return sum == expected;
}

std::optional<VdmFragment> ParseVdmSentence(std::string_view sentence) {
  std::array<std::string_view, kVdmFields> fields;
  size_t found = 0;
  size_t start = 0;
  while (found < kVdmFields) {
    const size_t comma = sentence.find(',', start);
    fields[found++] = sentence.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (found < kVdmFields) return std::nullopt;
  if (fields[0].find("VDM") == std::string_view::npos) return std::nullopt;
  const auto count = static_cast<uint8_t>(ParseUnsigned(fields[1], 10));
  const auto number = static_cast<uint8_t>(ParseUnsigned(fields[2], 10));
  const auto sequenceId = static_cast<uint8_t>(ParseUnsigned(fields[3], 10));
  if (count < 1 || count > 9 || number < 1 || number > 9 || sequenceId > 9) return std::nullopt;
  return VdmFragment{count, number, sequenceId, fields[5]};
}

}  // namespace vf::nmea
