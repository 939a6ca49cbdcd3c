#include "option_text.h"

#include "decimal_text.h"

namespace vf {
namespace {

constexpr std::u16string_view kCrcKey = u"CRC";

// Views into the option text: the receive loop reads the CRC setting for
// every line, so reading it must not allocate.
std::u16string_view Trim(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::u16string_view OptionEntryView(std::u16string_view text, size_t index, std::u16string_view separators) {
  size_t position = 0;
  size_t count = 0;
  while (position < text.size()) {
    const size_t begin = text.find_first_not_of(separators, position);
    if (begin == std::u16string_view::npos) break;
    size_t end = text.find_first_of(separators, begin);
    if (end == std::u16string_view::npos) end = text.size();
    if (count++ == index) return text.substr(begin, end - begin);
    position = end;
  }
  return {};
}

std::u16string_view FindCrcEntry(std::u16string_view text) {
  for (size_t index = 0;; ++index) {
    const std::u16string_view entry = OptionEntryView(text, index, u";");
    if (entry.empty() || entry.starts_with(kCrcKey)) return entry;
  }
}

std::u16string_view CrcValue(std::u16string_view text) {
  const std::u16string_view entry = FindCrcEntry(text);
  const size_t equals = entry.rfind(u'=');
  return Trim(equals == std::u16string_view::npos ? entry : entry.substr(equals + 1));
}

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  if (from.empty()) return;
  for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

std::u16string GetOptionEntry(std::u16string_view text, size_t index, std::u16string_view separators) {
  return std::u16string(OptionEntryView(text, index, separators));
}

std::u16string_view OptionValue(std::u16string_view optionText, std::u16string_view key) {
  while (!optionText.empty()) {
    const size_t end = optionText.find(u';');
    const std::u16string_view entry = optionText.substr(0, end);
    const size_t equals = entry.find(u'=');
    if (equals != std::u16string_view::npos && Trim(entry.substr(0, equals)) == key) {
      return Trim(entry.substr(equals + 1));
    }
    if (end == std::u16string_view::npos) break;
    optionText.remove_prefix(end + 1);
  }
  return {};
}

std::u16string GetCrcOption(std::u16string_view text) { return std::u16string(CrcValue(text)); }

int32_t GetCrcCheck(std::u16string_view text) {
  const std::u16string_view value = CrcValue(text);
  return value.empty() ? 1 : ParseSignedDecimal(value);
}

void SetCrcOption(std::u16string& text, std::u16string_view value) {
  const std::u16string old_entry(FindCrcEntry(text));
  if (old_entry.empty()) {
    text = std::u16string(Trim(text));
    if (!text.empty() && text.back() != u';') text += u';';  // keep the new entry apart from the last one
    text.append(kCrcKey).append(u"=").append(value).append(u";");
    return;
  }
  std::u16string new_entry = old_entry;
  const size_t equals = old_entry.rfind(u'=');
  if (equals == std::u16string::npos) {
    new_entry.append(u"=").append(value);  // an entry without "=" keeps its key and gains a value
  } else {
    const std::u16string old_tail = old_entry.substr(equals);
    ReplaceAll(new_entry, old_tail, std::u16string(u"=").append(value));
  }
  ReplaceAll(text, old_entry, new_entry);
}

}  // namespace vf
