// The clock in a real time zone on the days its clocks change: the system's
// own conversions, the date set by libfaketime, the zone by TZ.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/child_process.h"

namespace {

struct ZoneCase {
  const char* what;
  const char* localTime;  // when the clock synchronises, in Europe/Berlin
  const char* anchor;     // "utc" (the default) or "local" (the contract's)
  int offByS;             // how far its time stamps are from UTC
};

void PrintTo(const ZoneCase& c, std::ostream* out) { *out << c.what; }

// The local-midnight anchor takes the offset in force at midnight with the
// wall-clock time since then: wrong by the change after it, until the next
// synchronisation.
const ZoneCase kCases[] = {
    {"UTC anchor, the day before summer time", "2026-03-28 12:00:00", "utc", 0},
    {"UTC anchor, the day summer time begins", "2026-03-29 12:00:00", "utc", 0},
    {"UTC anchor, the day summer time ends", "2026-10-25 12:00:00", "utc", 0},
    {"local anchor, the day before summer time", "2026-03-28 12:00:00", "local", 0},
    {"local anchor, the day summer time begins", "2026-03-29 12:00:00", "local", 3600},
    {"local anchor, the day summer time ends", "2026-10-25 12:00:00", "local", -3600},
};

class ClockInARealZone : public testing::TestWithParam<ZoneCase> {};

TEST_P(ClockInARealZone, StampsUtcOnTheDaysTheClocksChange) {
  const ZoneCase& c = GetParam();
  // libfaketime is preloaded before anything else, so a sanitizer's runtime
  // must not insist on coming first.
  const char* sanitizer = std::getenv("ASAN_OPTIONS");
  const std::string asanOptions =
      std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") + ":verify_asan_link_order=0";
  const vf::test::Finished probe =
      vf::test::RunToEnd({"faketime", c.localTime, CLOCK_PROBE_PATH, c.anchor},
                         {"TZ=Europe/Berlin", "FAKETIME_DONT_FAKE_MONOTONIC=1", asanOptions});
  ASSERT_EQ(probe.exitCode, 0) << "faketime (Debian package faketime) must be installed\n" << probe.output;
  const std::string& text = probe.output;
  EXPECT_NEAR(std::stoi(text), c.offByS, 1) << "seconds off UTC";
}

INSTANTIATE_TEST_SUITE_P(Berlin, ClockInARealZone, testing::ValuesIn(kCases));

}  // namespace
