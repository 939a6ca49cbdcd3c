#include "faults.h"

#include <algorithm>

#include "payload_encoder.h"

namespace vf::sim {
namespace {

constexpr size_t kOverlongCharacters = 5000;  // past every receive buffer

// !AIVDM,count,number,sequence,channel,payload,fill*hh
constexpr int kSequenceField = 3;
constexpr int kChannelField = 4;
constexpr int kPayloadField = 5;
constexpr int kFillField = 6;

size_t FieldStart(const std::string& sentence, int field) {
  size_t at = 0;
  for (int i = 0; i < field; ++i) at = sentence.find(',', at) + 1;
  return at;
}

std::string_view Field(const std::string& sentence, int field) {
  const size_t start = FieldStart(sentence, field);
  const size_t end = sentence.find_first_of(",*", start);
  return std::string_view(sentence).substr(start, end - start);
}

// The sentence with one field replaced and its checksum made right again.
std::string WithField(const std::string& sentence, int field, std::string_view value) {
  const size_t start = FieldStart(sentence, field);
  const size_t end = sentence.find_first_of(",*", start);
  std::string body = sentence.substr(0, start) + std::string(value) + sentence.substr(end);
  body.resize(body.rfind('*'));
  return body + NmeaChecksum(body);
}

char OtherChannel(std::string_view channel) { return channel == "A" ? 'B' : 'A'; }

size_t IndexOf(Fault fault) { return static_cast<size_t>(fault); }

std::string GarbageLine(std::mt19937& random) {
  std::uniform_int_distribution<int> length(8, 80), byte(1, 255);
  std::string line(static_cast<size_t>(length(random)), ' ');
  for (char& c : line) {
    do c = static_cast<char>(byte(random));
    while (c == '\r' || c == '\n');
  }
  return line;
}

}  // namespace

std::string_view FaultName(Fault fault) {
  switch (fault) {
    case Fault::kBadChecksum: return "checksum";
    case Fault::kTruncated: return "truncate";
    case Fault::kLostFragment: return "lose";
    case Fault::kGarbage: return "garbage";
    case Fault::kOverlong: return "overlong";
    case Fault::kLostFirst: return "lose-first";
    case Fault::kSplitChannels: return "channels";
    case Fault::kShortPayload: return "short";
    case Fault::kInterleaved: return "interleave";
  }
  return "";
}

std::optional<Fault> FaultNamed(std::string_view name) {
  for (Fault fault : kAllFaults) {
    if (FaultName(fault) == name) return fault;
  }
  return std::nullopt;
}

bool FaultMix::Any() const {
  for (double chance : probability) {
    if (chance > 0) return true;
  }
  return false;
}

std::optional<Fault> FaultMix::Draw(std::mt19937& random) const {
  double roll = std::uniform_real_distribution<double>(0.0, 1.0)(random);
  for (Fault fault : kAllFaults) {
    roll -= probability[IndexOf(fault)];
    if (roll < 0) return fault;
  }
  return std::nullopt;
}

FaultedLines ApplyFault(Fault fault, std::vector<std::string> sentences, std::mt19937& random) {
  if (sentences.empty()) return {};
  std::string& last = sentences.back();
  bool spoiled = true;
  switch (fault) {
    case Fault::kBadChecksum:
      last.back() = last.back() == '0' ? '1' : '0';
      break;
    case Fault::kTruncated: {
      // Cut inside the payload, well short of its end, so that neither the
      // checksum nor the payload length can pass.
      const size_t payloadStart = FieldStart(last, kPayloadField);
      const size_t payloadEnd = last.find(',', payloadStart);
      const size_t keep = payloadEnd - payloadStart > 6 ? payloadEnd - payloadStart - 6 : 0;
      last.resize(payloadStart + std::uniform_int_distribution<size_t>(0, keep)(random));
      break;
    }
    case Fault::kLostFragment:
      sentences.pop_back();
      break;
    case Fault::kGarbage:
      sentences.insert(sentences.begin(), GarbageLine(random));
      spoiled = false;
      break;
    case Fault::kOverlong:
      sentences.insert(sentences.begin(), std::string(kOverlongCharacters, 'X'));
      spoiled = false;
      break;
    case Fault::kLostFirst:
      sentences.erase(sentences.begin());
      break;
    case Fault::kSplitChannels:
      spoiled = sentences.size() > 1;
      for (size_t i = 1; i < sentences.size(); ++i) {
        sentences[i] = WithField(sentences[i], kChannelField, std::string(1, OtherChannel(Field(sentences[i], kChannelField))));
      }
      break;
    case Fault::kShortPayload: {
      // At most half of the last sentence's payload stays: every message
      // then ends before a field its record needs.
      const std::string_view payload = Field(last, kPayloadField);
      const size_t most = payload.size() / 2;
      const size_t keep = std::uniform_int_distribution<size_t>(sentences.size() > 1 || most == 0 ? 0 : 1, most)(random);
      last = WithField(WithField(last, kPayloadField, payload.substr(0, keep)), kFillField, "0");
      break;
    }
    case Fault::kInterleaved:
      spoiled = false;  // needs a second message: Interleave
      break;
  }
  return {std::move(sentences), spoiled};
}

std::vector<std::string> Interleave(const std::vector<std::string>& first, const std::vector<std::string>& second) {
  std::vector<std::string> lines;
  const std::string_view id = Field(first.front(), kSequenceField);
  const std::string channel(1, OtherChannel(Field(first.front(), kChannelField)));
  for (size_t i = 0; i < std::max(first.size(), second.size()); ++i) {
    if (i < first.size()) lines.push_back(first[i]);
    if (i < second.size()) lines.push_back(WithField(WithField(second[i], kSequenceField, id), kChannelField, channel));
  }
  return lines;
}

}  // namespace vf::sim
