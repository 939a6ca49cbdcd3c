// A stop while the receiver's name is being looked up: the name server never
// answers, and the stop must not wait for it, whichever name is looked up.
#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"

namespace {

struct LookupCase {
  const char* mode;  // the probe's: which name of the configuration is looked up
  const char* what;
};

void PrintTo(const LookupCase& c, std::ostream* out) { *out << c.what; }

const LookupCase kCases[] = {
    {"tcp", "the TCP receiver's host"},
    {"udp-peer", "the UDP session's remote host"},
    {"udp-bind", "the UDPBIND address"},
    {"udp-sources", "a UDPSOURCES host"},
    {"host", "ais-host's lookups, after Ctrl-C"},
};

class StopDuringLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(StopDuringLookup, EndsTheRunAtOnceAndTracesNoFailure) {
  const vf::test::Finished probe = vf::test::RunToEnd({STOP_DURING_LOOKUP_PATH, GetParam().mode});
  // The private resolver needs mount and network namespaces: root has them,
  // others where the kernel gives unprivileged user namespaces.
  if (probe.exitCode == 2) GTEST_SKIP() << "no private namespaces here: " << probe.output;
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
}

INSTANTIATE_TEST_SUITE_P(Names, StopDuringLookup, testing::ValuesIn(kCases));

}  // namespace
