// What the device loop reads on every pass; a configuration given while the
// plug-in runs changes these at the next pass.
#pragma once

#include <cstdint>

#include "ais_plugin.h"
#include "config/feed_options.h"

namespace vf {

struct PassSettings {
  bool verifyChecksums = true;
  int32_t timeOffsetMs = 0;
  int32_t deviceId = 0;
  FeedOptions feed;  // what the option text switches on beyond that

  // The option text is parsed here, once for each configuration a run takes.
  static PassSettings Of(const CCfgDevice& config);
};

}  // namespace vf
