#include "config/feed_options.h"

#include "config/decimal_text.h"

namespace vf {
namespace {

constexpr int32_t kLongestFragmentAgeS = 3600;

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool IsOn(std::u16string_view optionText, std::u16string_view key) { return OptionValue(optionText, key) == u"1"; }

}  // namespace

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

FeedOptions FeedOptions::Of(std::u16string_view optionText) {
  FeedOptions options;
  options.tagBlocks = IsOn(optionText, u"TAGBLOCK");
  options.tagBlockTime = options.tagBlocks && IsOn(optionText, u"TAGTIME");
  options.ownShip = IsOn(optionText, u"OWNSHIP");
  options.allMessageTypes = OptionValue(optionText, u"TYPES") == u"ALL";
  options.datagramLines = IsOn(optionText, u"UDPLINES");
  options.reconnect = IsOn(optionText, u"RECONNECT");
  const int32_t ageS = ParseSignedDecimal(OptionValue(optionText, u"FRAGMENTAGE"));
  if (ageS >= 1 && ageS <= kLongestFragmentAgeS) options.fragmentMaxAgeMs = static_cast<uint32_t>(ageS) * 1000;
  return options;
}

}  // namespace vf
