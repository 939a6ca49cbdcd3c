// Sentences of multi-sentence AIS messages joined in the order they were
// sent: a sentence joins only the message whose previous sentence was the
// last one on the same radio channel, with the same sequence id and count.
// A receiver puts out the sentences of one radio message one after the
// other, so any other sentence on that channel ends the message that waits
// there, and it is dropped. So two messages are never glued together, at
// the cost that a message whose sentences arrive out of order is lost.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nmea/sentence_checks.h"

namespace vf::nmea {

class OrderedAssembly {
 public:
  // Channels that can have a message waiting at once.
  static constexpr size_t kWaiting = 16;

  // Takes one sentence; a message it completes goes to `decode` with the
  // joined payload and its last sentence's fill bits. Returns how many
  // sentences were dropped on the way (this one, or what waited).
  template <typename Decode>
  size_t Take(const VdmFragment& sentence, uint32_t arrivalMs, Decode&& decode) {
    Waiting* waiting = Find(sentence.channel);
    if (waiting != nullptr && Continues(*waiting, sentence)) {
      waiting->payload += sentence.payload;
      if (++waiting->next <= waiting->count) return 0;
      waiting->used = false;
      decode(std::string_view(waiting->payload), sentence.fillBits);
      return 0;
    }
    size_t dropped = waiting != nullptr ? Forget(*waiting) : 0;
    if (sentence.count == 1 && sentence.number == 1) {
      decode(sentence.payload, sentence.fillBits);
      return dropped;
    }
    if (sentence.number != 1) return dropped + 1;  // its first sentence never came, or not last on its channel
    waiting = waiting != nullptr ? waiting : Free(dropped);
    waiting->used = true;
    waiting->sequenceKey = KeyOf(sentence);
    waiting->channel = sentence.channel;
    waiting->count = sentence.count;
    waiting->next = 2;
    waiting->arrivalMs = arrivalMs;
    waiting->order = ++m_nArrivals;
    waiting->payload.assign(sentence.payload);
    return dropped;
  }

  // Drops the messages whose first sentence came more than `maxAgeMs`
  // before `nowMs`; how many sentences went.
  size_t DropOlderThan(uint32_t nowMs, uint32_t maxAgeMs);
  // Sentences waiting for the rest of their message.
  size_t Size() const;

 private:
  struct Waiting {
    bool used = false;
    uint8_t sequenceKey = 0;  // the id, or kNoSequenceId
    char channel = 0;
    uint8_t count = 0;
    uint8_t next = 0;  // the number of the sentence it waits for
    uint32_t arrivalMs = 0;
    uint64_t order = 0;
    std::string payload;  // kept between messages, so steady traffic allocates nothing
  };
  static constexpr uint8_t kNoSequenceId = 10;

  static uint8_t KeyOf(const VdmFragment& sentence) {
    return sentence.hasSequenceId ? sentence.sequenceId : kNoSequenceId;
  }
  Waiting* Find(char channel);
  static bool Continues(const Waiting& waiting, const VdmFragment& sentence) {
    return waiting.sequenceKey == KeyOf(sentence) && waiting.count == sentence.count && waiting.next == sentence.number;
  }
  // A free place; when none is, the oldest waiting message goes.
  Waiting* Free(size_t& dropped);
  static size_t Forget(Waiting& waiting) {
    waiting.used = false;
    return static_cast<size_t>(waiting.next - 1);
  }

  std::array<Waiting, kWaiting> m_waiting;
  uint64_t m_nArrivals = 0;
};

}  // namespace vf::nmea
