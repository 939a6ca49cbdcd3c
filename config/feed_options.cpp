#include "config/feed_options.h"

#include "config/decimal_text.h"
#include "config/option_text.h"

namespace vf {
namespace {

constexpr int32_t kLongestFragmentAgeS = 3600;
constexpr int32_t kLongestDropCountsIntervalS = 86400;

bool IsOn(std::u16string_view optionText, std::u16string_view key) { return OptionValue(optionText, key) == u"1"; }

}  // namespace

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
  const std::u16string_view counts = OptionValue(optionText, u"COUNTS");
  const int32_t everyS = ParseSignedDecimal(counts);
  options.dropCounts = counts == u"STOP" || (everyS >= 1 && everyS <= kLongestDropCountsIntervalS);
  if (options.dropCounts && counts != u"STOP") options.dropCountsEveryMs = static_cast<uint32_t>(everyS) * 1000;
  return options;
}

}  // namespace vf
