// The closing step of every decoded message: the record is stamped and
// posted to the host window, which then owns it.
#pragma once

#include "ais/decoders.h"
#include "ais_plugin.h"
#include "plugin/plugin_run.h"
#include "plugin/time_stamping.h"

namespace vf {

// Posts only with a window; a record that could not be posted (no window, a
// full queue) is destroyed here, so nothing leaks. Without a clock the time
// stamp is 0.0.
void DeliverRecord(ais::DecodedRecord decoded, HostWindow window, CTimeStamping* clock, const PassSettings& pass);

}  // namespace vf
