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
};

class StopDuringLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(StopDuringLookup, EndsTheRunAtOnceAndTracesNoFailure) {
  int output = -1;
  const pid_t pid = vf::test::Spawn({STOP_DURING_LOOKUP_PATH, GetParam().mode}, {}, {.outputPipe = &output});
  ASSERT_GT(pid, 0);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = read(output, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
  close(output);
  int status = 0;
  waitpid(pid, &status, 0);
  const int code = vf::test::ExitCodeOf(status);
  // The private resolver needs mount and network namespaces: root has them,
  // others where the kernel gives unprivileged user namespaces.
  if (code == 2) GTEST_SKIP() << "no private namespaces here: " << text;
  EXPECT_EQ(code, 0) << text;
}

INSTANTIATE_TEST_SUITE_P(Names, StopDuringLookup, testing::ValuesIn(kCases));

}  // namespace
