// The plug-in's identity as the host shows it.
#pragma once

namespace vf {

constexpr const char16_t* kPluginVersion = u"9.1.64.0511";
constexpr const char16_t* kPluginName = u"Vestrafold AIS plugin";
constexpr const char16_t* kPluginDescription = u"Plugin for generic AIS receivers";

}  // namespace vf
