#include "datapath/pass_settings.h"

#include "config/option_text.h"

namespace vf {

PassSettings PassSettings::Of(const CCfgDevice& config) {
  return PassSettings{GetCrcCheck(config.m_strOptions.View()) == 1, config.m_nTimeOffset, config.m_nDeviceId,
                      FeedOptions::Of(config.m_strOptions.View())};
}

}  // namespace vf
