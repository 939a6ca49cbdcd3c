#include "fragment_store.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace vf::nmea {

FragmentStore::FragmentStore(size_t capacity)
    : m_vecFragments(capacity > 0 ? capacity : 1), m_nFirstConsumed(m_vecFragments.size()) {}

bool FragmentStore::Append(uint8_t count, uint8_t number, uint8_t sequenceId, std::string_view payload,
                           uint32_t arrivalMs) {
  const bool full = m_nCount == m_vecFragments.size();
  if (full) {
    // Full: the oldest slot is reused for the newest.
    if (At(0).nSequenceId < kSequenceIds) --m_nStoredPerId[At(0).nSequenceId];
    m_nOldest = Slot(1);
    --m_nCount;
  }
  AisFragment& fragment = At(m_nCount++);
  fragment.nFragmentCount = count;
  fragment.nFragmentNumber = number;
  fragment.nSequenceId = sequenceId;
  fragment.pszPayload.assign(payload);
  fragment.bConsumed = 0;
  fragment.nArrivalMs = arrivalMs;
  if (sequenceId < kSequenceIds) ++m_nStoredPerId[sequenceId];
  m_nCandidateIds |= 1u << sequenceId;
  return full;
}

size_t FragmentStore::DropOlderThan(uint32_t nowMs, uint32_t maxAgeMs) {
  // Arrival order: the old ones are at the front; their buffers are kept for reuse.
  size_t old = 0;
  while (old < m_nCount && nowMs - At(old).nArrivalMs > maxAgeMs) {
    if (At(old).nSequenceId < kSequenceIds) --m_nStoredPerId[At(old).nSequenceId];
    ++old;
  }
  m_nOldest = Slot(old);
  m_nCount -= old;
  return old;
}

bool FragmentStore::JoinMessage(uint8_t sequenceId) {
  std::array<size_t, kMaxFragments + 1> slots;  // index = fragment number; the fragment's position
  constexpr size_t kEmpty = SIZE_MAX;
  slots.fill(kEmpty);
  const auto complete = [this, &slots] {
    if (slots[1] == kEmpty) return false;
    const uint8_t count = std::min<uint8_t>(At(slots[1]).nFragmentCount, kMaxFragments);
    for (uint8_t number = 1; number <= count; ++number) {
      if (slots[number] == kEmpty) return false;
    }
    return true;
  };
  // Newest first: the newest fragment of each number is the one that counts,
  // and a message that has just completed is found without walking the
  // older (often orphaned) fragments behind it.
  size_t unseen = sequenceId < kSequenceIds ? m_nStoredPerId[sequenceId] : m_nCount;
  for (size_t i = m_nCount; unseen > 0 && i-- > 0 && !complete();) {
    const AisFragment& fragment = At(i);
    if (fragment.nSequenceId != sequenceId) continue;
    --unseen;
    if (fragment.nFragmentNumber < 1 || fragment.nFragmentNumber > kMaxFragments) continue;
    if (slots[fragment.nFragmentNumber] == kEmpty) slots[fragment.nFragmentNumber] = i;
  }
  if (!complete()) return false;
  const uint8_t count = std::min<uint8_t>(At(slots[1]).nFragmentCount, kMaxFragments);
  m_strMessage.clear();
  for (uint8_t number = 1; number <= count; ++number) {
    AisFragment& fragment = At(slots[number]);
    m_strMessage += fragment.pszPayload;
    fragment.bConsumed = 1;
    m_nFirstConsumed = std::min(m_nFirstConsumed, slots[number]);
  }
  return true;
}

void FragmentStore::RemoveConsumed() {
  // Fragments before the first consumed one stay where they are.
  size_t kept = m_nFirstConsumed;
  for (size_t i = m_nFirstConsumed; i < m_nCount; ++i) {
    if (At(i).bConsumed != 0) {
      if (At(i).nSequenceId < kSequenceIds) --m_nStoredPerId[At(i).nSequenceId];
      continue;
    }
    if (kept != i) std::swap(At(kept), At(i));  // swaps keep both buffers
    ++kept;
  }
  m_nCount = kept;
  m_nFirstConsumed = m_vecFragments.size();
}

}  // namespace vf::nmea
