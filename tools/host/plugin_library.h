// The host loads the plug-in with the SDK's own loader, as any host may.
#pragma once

#include "ais_plugin_loader.h"

namespace vf::host {

using PluginExports = vf::sdk::PluginExports;
using PluginLibrary = vf::sdk::PluginLibrary;

}  // namespace vf::host
