// The messages most tests send: a type 1 position report, and a type 5 that
// takes two sentences.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "payload_encoder.h"

namespace vf::test {

constexpr const char* kType1Payload = "139>Jh501sOcIa0MqLt1j?wp0000";
constexpr uint32_t kType1Mmsi = 211000000;
constexpr uint32_t kType5Mmsi = 235000001;

inline std::string Type5Payload(std::string_view name = "TWO SENTENCES") {
  vf::sim::PayloadWriter w;
  w.Put(5, 6).Put(0, 2).Put(kType5Mmsi, 30).Put(0, 32).PutText("CALL", 7).PutText(name, 20);
  w.Put(70, 8).Put(0, 62).PutText("HARWICH", 20).Put(0, 2);
  return w.Armoured();
}

// The message's sentences, each ended by CR LF, as a receiver sends them.
inline std::string SentenceLines(std::string_view payload, unsigned fillBits = 0, int sequenceId = -1,
                                 char channel = 'A', size_t perSentence = 60) {
  std::string lines;
  for (const std::string& s : vf::sim::VdmSentences(payload, fillBits, sequenceId, channel, perSentence)) {
    lines += s + "\r\n";
  }
  return lines;
}

}  // namespace vf::test
