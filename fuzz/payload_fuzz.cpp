// Any payload text straight into the decoders, the optional ones included.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ais/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vf::ais::DecodedRecord decoded =
      vf::ais::DecodeAisPayload(std::string_view(reinterpret_cast<const char*>(data), size), true);
  if (decoded && decoded.record->m_nMMSI == 0) __builtin_trap();  // a record always names its station
  return 0;
}
