// What the sentence path drops, by cause. Drops stay silent on the data path;
// these counts let a user tell a bad feed from a dead one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vf::nmea {

enum class DropCause : uint8_t {
  kChecksum,            // the sentence's or its tag block's checksum is wrong
  kNotVdm,              // not a sentence the plug-in takes
  kMalformed,           // too few fields
  kFragmentOutOfRange,  // count, number or sequence id out of range
  kFragmentLost,        // pushed out of the full store, or too old
  kPayloadRejected,     // a complete message the decoders do not take
  kNotPosted,           // a record the host's window did not take
  kNotJoined,           // a sentence of a message whose other sentences did not all arrive in order
  kPayloadCutShort,     // a message that ends before a field its record needs
  kPayloadCharacter,    // a payload character outside the six-bit armour
  kFillBits,            // a fill-bit count outside 0 to 5 or beyond the payload
  kLostBelow,           // datagrams the system dropped, serial overruns
  kNoMemory,            // a line that could not be handled for want of memory
};
inline constexpr size_t kDropCauses = 13;

struct DropCounts {
  std::array<int64_t, kDropCauses> byCause{};

  void Add(DropCause cause, size_t count = 1) { byCause[static_cast<size_t>(cause)] += static_cast<int64_t>(count); }
  int64_t operator[](DropCause cause) const { return byCause[static_cast<size_t>(cause)]; }
};

}  // namespace vf::nmea
