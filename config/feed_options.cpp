#include "config/feed_options.h"

#include "config/decimal_text.h"
#include "config/option_text.h"

namespace vf {
namespace {

constexpr int32_t kLongestFragmentAgeS = 3600;
constexpr int32_t kLongestDropCountsIntervalS = 86400;

// A switch: "1" on, "0" off, absent (or anything else) its default.
bool Switch(std::u16string_view optionText, std::u16string_view key, bool byDefault) {
  const std::u16string_view value = OptionValue(optionText, key);
  if (value == u"1") return true;
  if (value == u"0") return false;
  return byDefault;
}

}  // namespace

FeedOptions FeedOptions::Of(std::u16string_view optionText) {
  FeedOptions options;
  const bool defaults = !Switch(optionText, u"LITERAL", false);
  options.tagBlocks = Switch(optionText, u"TAGBLOCK", defaults);
  options.tagBlockTime = options.tagBlocks && Switch(optionText, u"TAGTIME", false);
  options.ownShip = Switch(optionText, u"OWNSHIP", false);
  options.allMessageTypes = OptionValue(optionText, u"TYPES") == u"ALL";
  options.datagramLines = Switch(optionText, u"UDPLINES", defaults);
  const std::u16string_view reconnect = OptionValue(optionText, u"RECONNECT");
  options.retryFirstConnect = reconnect == u"2";
  options.reconnect = options.retryFirstConnect || Switch(optionText, u"RECONNECT", defaults);
  options.wholeBits = Switch(optionText, u"WHOLEBITS", defaults);
  options.waitForHost = Switch(optionText, u"WAITFORHOST", defaults);
  const int32_t ageS = ParseSignedDecimal(OptionValue(optionText, u"FRAGMENTAGE"));
  if (ageS >= 1 && ageS <= kLongestFragmentAgeS) options.fragmentMaxAgeMs = static_cast<uint32_t>(ageS) * 1000;
  const std::u16string_view counts = OptionValue(optionText, u"COUNTS");
  const int32_t everyS = ParseSignedDecimal(counts);
  const bool periodic = everyS >= 1 && everyS <= kLongestDropCountsIntervalS;
  options.dropCounts = counts == u"STOP" || periodic || (defaults && counts != u"0");
  if (periodic) options.dropCountsEveryMs = static_cast<uint32_t>(everyS) * 1000;
  options.udpBind = OptionValue(optionText, u"UDPBIND");
  options.udpSources = OptionValue(optionText, u"UDPSOURCES");
  return options;
}

}  // namespace vf
