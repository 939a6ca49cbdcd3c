#include "nmea/ordered_assembly.h"

namespace vf::nmea {

OrderedAssembly::Waiting* OrderedAssembly::Find(char channel) {
  for (Waiting& waiting : m_waiting) {
    if (waiting.used && waiting.channel == channel) return &waiting;
  }
  return nullptr;
}

OrderedAssembly::Waiting* OrderedAssembly::Free(size_t& dropped) {
  Waiting* oldest = &m_waiting[0];
  for (Waiting& waiting : m_waiting) {
    if (!waiting.used) return &waiting;
    if (waiting.order < oldest->order) oldest = &waiting;
  }
  dropped += Forget(*oldest);
  return oldest;
}

size_t OrderedAssembly::DropOlderThan(uint32_t nowMs, uint32_t maxAgeMs) {
  size_t dropped = 0;
  for (Waiting& waiting : m_waiting) {
    if (waiting.used && nowMs - waiting.arrivalMs > maxAgeMs) dropped += Forget(waiting);
  }
  return dropped;
}

size_t OrderedAssembly::Size() const {
  size_t sentences = 0;
  for (const Waiting& waiting : m_waiting) sentences += waiting.used ? waiting.next - 1u : 0u;
  return sentences;
}

}  // namespace vf::nmea
