// Names of the user's shared objects in POSIX shared memory:
// "/vf-<kind>-u<uid>-", then "<namespace>-" when VF_OBJECT_NAMESPACE is set.
// The user's id keeps each user's objects apart, as a Windows session
// namespace does; VF_OBJECT_NAMESPACE gives separate hosts (or tests) of one
// user a private set of names.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace vf::posix_system {

// Characters other than letters, digits, '-', '_' and '.' become '_'.
template <typename Char>
void AppendPortable(std::string& out, std::basic_string_view<Char> text) {
  for (const Char c : text) {
    const bool portable = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
    out += portable ? static_cast<char>(c) : '_';
  }
}

inline std::string UserObjectPrefix(std::string_view kind) {
  std::string prefix = "/vf-" + std::string(kind) + "-u" + std::to_string(geteuid()) + "-";
  if (const char* space = std::getenv("VF_OBJECT_NAMESPACE"); space != nullptr && *space != '\0') {
    AppendPortable(prefix, std::string_view(space));
    prefix += '-';
  }
  return prefix;
}

}  // namespace vf::posix_system
