// Prints how far the plug-in's clock, synchronised now, is from the system's
// UTC time, in whole seconds: for runs under another time zone and date.
#include <cstdio>
#include <cstring>

#include "datapath/time_stamping.h"

int main(int argc, char** argv) {
  const bool local = argc > 1 && std::strcmp(argv[1], "local") == 0;
  CTimeStamping clock(vf::ClockSource::System(),
                      local ? CTimeStamping::Anchor::kLocalMidnight : CTimeStamping::Anchor::kUtcMidnight);
  clock.Synchronize();
  std::printf("%.0f\n", clock.GetTime() - vf::platform::SystemTimeSeconds());
  return 0;
}
