// The library's PNG resources, built into it: Linux libraries have no
// resource section (the source is generated from the resource script).
#pragma once

#include <cstddef>

namespace vf::platform {

struct EmbeddedPng {
  const unsigned char* data;
  size_t size;
};

// The PNG resource `id`; no bytes when the library has none of that id.
EmbeddedPng EmbeddedPngResource(int id);

}  // namespace vf::platform
