#include "fragment_store.h"

#include <algorithm>
#include <utility>

namespace vf::nmea {

FragmentStore::FragmentStore(size_t capacity)
    : m_vecFragments(capacity > 0 ? capacity : 1), m_nFirstConsumed(m_vecFragments.size()) {}

bool FragmentStore::Append(uint8_t count, uint8_t number, uint8_t sequenceId, std::string_view payload,
                           uint32_t arrivalMs) {
  const bool full = m_nCount == m_vecFragments.size();
  if (full) {
    // Full: the oldest slot moves to the end and is reused.
    if (m_vecFragments[0].nSequenceId < kSequenceIds) --m_nStoredPerId[m_vecFragments[0].nSequenceId];
    std::rotate(m_vecFragments.begin(), m_vecFragments.begin() + 1, m_vecFragments.end());
    --m_nCount;
  }
  AisFragment& fragment = m_vecFragments[m_nCount++];
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
  // Arrival order: the old ones are at the front.
  size_t old = 0;
  while (old < m_nCount && nowMs - m_vecFragments[old].nArrivalMs > maxAgeMs) {
    if (m_vecFragments[old].nSequenceId < kSequenceIds) --m_nStoredPerId[m_vecFragments[old].nSequenceId];
    ++old;
  }
  if (old == 0) return 0;
  std::rotate(m_vecFragments.begin(), m_vecFragments.begin() + static_cast<ptrdiff_t>(old),
              m_vecFragments.begin() + static_cast<ptrdiff_t>(m_nCount));  // their buffers are kept for reuse
  m_nCount -= old;
  return old;
}

bool FragmentStore::JoinMessage(uint8_t sequenceId) {
  std::array<AisFragment*, kMaxFragments + 1> slots{};  // index = fragment number
  const auto complete = [&slots] {
    if (slots[1] == nullptr) return false;
    const uint8_t count = std::min<uint8_t>(slots[1]->nFragmentCount, kMaxFragments);
    for (uint8_t number = 1; number <= count; ++number) {
      if (slots[number] == nullptr) return false;
    }
    return true;
  };
  // Newest first: the newest fragment of each number is the one that counts,
  // and a message that has just completed is found without walking the
  // older (often orphaned) fragments behind it.
  size_t unseen = sequenceId < kSequenceIds ? m_nStoredPerId[sequenceId] : m_nCount;
  for (size_t i = m_nCount; unseen > 0 && i-- > 0 && !complete();) {
    AisFragment& fragment = m_vecFragments[i];
    if (fragment.nSequenceId != sequenceId) continue;
    --unseen;
    if (fragment.nFragmentNumber < 1 || fragment.nFragmentNumber > kMaxFragments) continue;
    if (slots[fragment.nFragmentNumber] == nullptr) slots[fragment.nFragmentNumber] = &fragment;
  }
  if (!complete()) return false;
  const uint8_t count = std::min<uint8_t>(slots[1]->nFragmentCount, kMaxFragments);
  m_strMessage.clear();
  for (uint8_t number = 1; number <= count; ++number) {
    m_strMessage += slots[number]->pszPayload;
    slots[number]->bConsumed = 1;
    m_nFirstConsumed = std::min(m_nFirstConsumed, static_cast<size_t>(slots[number] - m_vecFragments.data()));
  }
  return true;
}

void FragmentStore::RemoveConsumed() {
  // Fragments before the first consumed one stay where they are.
  size_t kept = m_nFirstConsumed;
  for (size_t i = m_nFirstConsumed; i < m_nCount; ++i) {
    if (m_vecFragments[i].bConsumed != 0) {
      if (m_vecFragments[i].nSequenceId < kSequenceIds) --m_nStoredPerId[m_vecFragments[i].nSequenceId];
      continue;
    }
    if (kept != i) std::swap(m_vecFragments[kept], m_vecFragments[i]);  // swaps keep both buffers
    ++kept;
  }
  m_nCount = kept;
  m_nFirstConsumed = m_vecFragments.size();
}

}  // namespace vf::nmea
