#include "sentence_checks.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "config/decimal_text.h"

namespace vf::nmea {
namespace {

constexpr size_t kShortestCheckedLine = 6;
constexpr size_t kVdmFields = 7;
constexpr size_t kPayloadField = 5;

}  // namespace

void DoublePercentSigns(std::string_view line, std::string& out) {
  out.assign(line);
  for (size_t at = out.find('%'); at != std::string::npos; at = out.find('%', at + 2)) out.insert(at, 1, '%');
}

bool PassesChecksum(std::string_view s) {
  const size_t n = s.size();
  if (n < kShortestCheckedLine) return false;
  if (s[n - 3] != '*') return true;
  const size_t star = s.rfind('*');
  const uint8_t expected = static_cast<uint8_t>(ParseUnsigned(s.substr(star + 1), 16));
  // Eight characters at a time: the XOR of the words' bytes is the XOR of
  // the characters, in any order.
  const size_t end = n - 3;
  size_t i = 1;
  uint64_t words = 0;
  for (; i + 8 <= end; i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, s.data() + i, sizeof word);
    words ^= word;
  }
  uint8_t sum = 0;
  for (int shift = 0; shift < 64; shift += 8) sum ^= static_cast<uint8_t>(words >> shift);
  for (; i < end; ++i) sum ^= static_cast<uint8_t>(s[i]);
  return sum == expected;
}

std::optional<VdmFragment> ParseVdmSentence(std::string_view sentence, bool acceptOwnShip, DropCause* rejected) {
  const auto reject = [rejected](DropCause cause) {
    if (rejected != nullptr) *rejected = cause;
    return std::nullopt;
  };
  std::array<std::string_view, kVdmFields> fields;
  // One pass over the characters: the fields are short, a search call each
  // would cost more than it saves; only the payload's end is searched for.
  size_t found = 0;
  size_t start = 0;
  for (size_t at = 0; at <= sentence.size() && found < kVdmFields; ++at) {
    if (found == kPayloadField) at = std::min(sentence.find(',', at), sentence.size());
    if (at == sentence.size() || sentence[at] == ',') {
      fields[found++] = sentence.substr(start, at - start);
      start = at + 1;
    }
  }
  const bool ownShip = acceptOwnShip && fields[0].find("VDM") == std::string_view::npos;
  if (ownShip ? fields[0].find("VDO") == std::string_view::npos : fields[0].find("VDM") == std::string_view::npos) {
    return reject(DropCause::kNotVdm);
  }
  if (found < kVdmFields) return reject(DropCause::kMalformed);
  const auto count = static_cast<uint8_t>(ParseUnsigned(fields[1], 10));
  const auto number = static_cast<uint8_t>(ParseUnsigned(fields[2], 10));
  const auto sequenceId = static_cast<uint8_t>(ParseUnsigned(fields[3], 10));
  if (count < 1 || count > 9 || number < 1 || number > 9 || sequenceId > 9) {
    return reject(DropCause::kFragmentOutOfRange);
  }
  VdmFragment fragment{count, number, sequenceId, fields[5], ownShip};
  fragment.hasSequenceId = !fields[3].empty();
  fragment.channel = fields[4].empty() ? '\0' : fields[4][0];
  const std::string_view fill = fields[6].substr(0, fields[6].find('*'));
  fragment.fillBits = fill.empty() ? 0 : fill.size() == 1 && fill[0] >= '0' && fill[0] <= '9' ? fill[0] - '0' : -1;
  return fragment;
}

std::optional<TagBlock> SplitTagBlock(std::string_view line) {
  if (line.size() < 2 || line[0] != '\\') return std::nullopt;
  const size_t close = line.find('\\', 1);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view block = line.substr(1, close - 1);
  TagBlock tag;
  tag.sentence = line.substr(close + 1);
  const size_t star = block.rfind('*');
  if (star != std::string_view::npos && block.size() - star == 3) {
    uint8_t sum = 0;
    for (const char c : block.substr(0, star)) sum ^= static_cast<uint8_t>(c);
    tag.checksumPasses = sum == static_cast<uint8_t>(ParseUnsigned(block.substr(star + 1), 16));
  }
  for (std::string_view fields = block.substr(0, star); !fields.empty();) {
    const size_t comma = fields.find(',');
    const std::string_view field = fields.substr(0, comma);
    if (field.size() > 2 && field.starts_with("c:")) {
      int64_t units = 0;
      std::from_chars(field.data() + 2, field.data() + field.size(), units);
      const auto value = static_cast<double>(units);
      tag.hasTime = value > 0;
      tag.unixSeconds = value > 1e11 ? value / 1000.0 : value;
    }
    if (comma == std::string_view::npos) break;
    fields.remove_prefix(comma + 1);
  }
  return tag;
}

}  // namespace vf::nmea
