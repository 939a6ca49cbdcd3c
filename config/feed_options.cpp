#include "config/feed_options.h"

#include "config/decimal_text.h"
#include "config/option_text.h"

namespace vf {
namespace {

constexpr int32_t kLongestFragmentAgeS = 3600;
constexpr int32_t kLongestDropCountsIntervalS = 86400;
constexpr int32_t kLargestUdpBufferKiB = 65536;
constexpr uint32_t kDefaultUdpBufferKiB = 1024;  // a second of 5,000 lines/s

// A switch's value: "1" on, "0" off, absent (or anything else) its default.
bool Switch(std::u16string_view value, bool byDefault) {
  if (value == u"1") return true;
  if (value == u"0") return false;
  return byDefault;
}

}  // namespace

FeedOptions FeedOptions::Of(std::u16string_view optionText) {
  FeedOptions options;
  const auto entry = [optionText](std::u16string_view key) { return OptionValue(optionText, key); };
  const bool defaults = !Switch(entry(u"LITERAL"), false);
  options.tagBlocks = Switch(entry(u"TAGBLOCK"), defaults);
  options.tagBlockTime = options.tagBlocks && Switch(entry(u"TAGTIME"), false);
  options.ownShip = Switch(entry(u"OWNSHIP"), false);
  options.allMessageTypes = entry(u"TYPES") == u"ALL";
  options.datagramLines = Switch(entry(u"UDPLINES"), defaults);
  const std::u16string_view reconnect = entry(u"RECONNECT");
  options.retryFirstConnect = reconnect == u"2";
  options.reconnect = options.retryFirstConnect || Switch(reconnect, defaults);
  options.wholeBits = Switch(entry(u"WHOLEBITS"), defaults);
  options.followWallClock = Switch(entry(u"WALLCLOCK"), defaults);
  options.replaceTrace = Switch(entry(u"TRACEREPLACE"), defaults);
  options.waitForHost = Switch(entry(u"WAITFORHOST"), defaults);
  options.refusalEndsConnectWait = Switch(entry(u"REFUSED"), defaults);
  options.udpExclusivePort = Switch(entry(u"UDPEXCLUSIVE"), defaults);
  const std::u16string_view buffer = entry(u"UDPBUFFER");
  const int32_t bufferKiB = ParseSignedDecimal(buffer);
  options.udpReceiveBufferKiB = bufferKiB >= 1 && bufferKiB <= kLargestUdpBufferKiB ? static_cast<uint32_t>(bufferKiB)
                                : buffer == u"0" || !defaults                      ? 0
                                                                                   : kDefaultUdpBufferKiB;
  const int32_t ageS = ParseSignedDecimal(entry(u"FRAGMENTAGE"));
  if (ageS >= 1 && ageS <= kLongestFragmentAgeS) options.fragmentMaxAgeMs = static_cast<uint32_t>(ageS) * 1000;
  const std::u16string_view counts = entry(u"COUNTS");
  const int32_t everyS = ParseSignedDecimal(counts);
  const bool periodic = everyS >= 1 && everyS <= kLongestDropCountsIntervalS;
  options.dropCounts = counts == u"STOP" || periodic || (defaults && counts != u"0");
  if (periodic) options.dropCountsEveryMs = static_cast<uint32_t>(everyS) * 1000;
  options.udpBind = entry(u"UDPBIND");
  options.udpSources = entry(u"UDPSOURCES");
  return options;
}

}  // namespace vf
