#include "faults.h"

namespace vf::sim {
namespace {

constexpr size_t kOverlongCharacters = 5000;  // past every receive buffer

constexpr int kPayloadField = 5;  // !AIVDM,count,number,sequence,channel,payload,fill*hh

size_t FieldStart(const std::string& sentence, int field) {
  size_t at = 0;
  for (int i = 0; i < field; ++i) at = sentence.find(',', at) + 1;
  return at;
}

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
  }
  return "";
}

std::optional<Fault> FaultNamed(std::string_view name) {
  for (Fault fault : kAllFaults) {
    if (FaultName(fault) == name) return fault;
  }
  return std::nullopt;
}

bool LosesMessage(Fault fault) { return fault != Fault::kGarbage && fault != Fault::kOverlong; }

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

std::vector<std::string> ApplyFault(Fault fault, std::vector<std::string> sentences, std::mt19937& random) {
  if (sentences.empty()) return sentences;
  std::string& last = sentences.back();
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
      break;
    case Fault::kOverlong:
      sentences.insert(sentences.begin(), std::string(kOverlongCharacters, 'X'));
      break;
  }
  return sentences;
}

}  // namespace vf::sim
