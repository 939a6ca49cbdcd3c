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

// Where POSIX shared-memory objects appear as files: "/dev/shm" + name.
constexpr const char* kSharedMemoryFolder = "/dev/shm";

// "vf-<kind>-u<uid>-": the start of every name of that kind of the user's,
// whatever the namespace.
inline std::string UserObjectStem(std::string_view kind) {
  return "vf-" + std::string(kind) + "-u" + std::to_string(geteuid()) + "-";
}

inline std::string UserObjectPrefix(std::string_view kind) {
  std::string prefix = "/" + UserObjectStem(kind);
  if (const char* space = std::getenv("VF_OBJECT_NAMESPACE"); space != nullptr && *space != '\0') {
    AppendPortable(prefix, std::string_view(space));
    prefix += '-';
  }
  return prefix;
}

}  // namespace vf::posix_system
