// UTF-16 text of the plug-in as UTF-8 for the terminal.
#pragma once

#include <string>
#include <string_view>

namespace vf::host {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace vf::host
