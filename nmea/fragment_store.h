// Sentences of multi-sentence AIS messages waiting for their siblings.
//
// Fragments are matched by sequence id and fragment number only; the count of
// a message is the count of its fragment number 1; of two stored fragments
// with the same id and number the newer one is used. The store is bounded:
// once it is full, a new fragment evicts the oldest one, so a feed of
// fragments that never complete cannot grow memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vf::nmea {

struct AisFragment {
  uint8_t nFragmentNumber = 0;  // 1..9
  uint8_t nFragmentCount = 0;   // 1..9
  uint8_t nSequenceId = 0;      // 0..9
  std::string pszPayload;       // owned copy of the armoured payload
  uint32_t bConsumed = 0;
  uint32_t nArrivalMs = 0;      // tick count when it came; kept only when fragments age
};

class FragmentStore {
 public:
  static constexpr size_t kDefaultCapacity = 256;
  static constexpr uint8_t kMaxFragments = 9;
  static constexpr uint8_t kSequenceIds = 10;

  explicit FragmentStore(size_t capacity = kDefaultCapacity);

  // Appends at the end; when the store is full the oldest fragment goes, and
  // the result is true.
  bool Append(uint8_t count, uint8_t number, uint8_t sequenceId, std::string_view payload, uint32_t arrivalMs = 0);
  // Drops the fragments that came more than `maxAgeMs` before `nowMs`; how
  // many.
  size_t DropOlderThan(uint32_t nowMs, uint32_t maxAgeMs);

  // Joins every message whose fragments are all present, at most one per
  // sequence id, in increasing order of id; hands each joined payload to
  // `decode`, then removes the fragments it used.
  template <typename Decode>
  void AssembleFragments(Decode&& decode) {
    // Only an id that gained a fragment, or that was joined last time and
    // may hold older duplicates that complete again, can be complete now.
    const uint32_t candidates = m_nCandidateIds;
    m_nCandidateIds = 0;
    for (uint8_t id = 0; id < kSequenceIds; ++id) {
      if ((candidates & (1u << id)) != 0 && JoinMessage(id)) {
        decode(std::string_view(m_strMessage));
        m_nCandidateIds |= 1u << id;
      }
    }
    if (m_nCandidateIds != 0) RemoveConsumed();
  }

  size_t Size() const { return m_nCount; }
  size_t Capacity() const { return m_vecFragments.size(); }
  // The fragment at a position in arrival order, 0 the oldest.
  const AisFragment& operator[](size_t index) const { return m_vecFragments[Slot(index)]; }

 private:
  bool JoinMessage(uint8_t sequenceId);
  void RemoveConsumed();
  size_t Slot(size_t index) const {  // index < capacity; no division on this path
    const size_t slot = m_nOldest + index;
    return slot >= m_vecFragments.size() ? slot - m_vecFragments.size() : slot;
  }
  AisFragment& At(size_t index) { return m_vecFragments[Slot(index)]; }

  // A ring: from slot m_nOldest on, m_nCount slots hold the fragments in
  // arrival order, so the oldest goes in constant time; the other slots keep
  // their payload buffers for reuse, so steady traffic allocates nothing here.
  std::vector<AisFragment> m_vecFragments;
  size_t m_nOldest = 0;
  size_t m_nCount = 0;
  size_t m_nFirstConsumed = 0;  // a position in arrival order
  uint32_t m_nCandidateIds = 0;  // bit per sequence id
  // How many stored fragments carry each sequence id, so that joining an id
  // stops at its oldest fragment and an id without any costs nothing.
  std::array<uint16_t, kSequenceIds> m_nStoredPerId{};
  std::string m_strMessage;
};

}  // namespace vf::nmea
