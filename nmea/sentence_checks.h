// The checks a received NMEA line passes before it becomes a fragment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "nmea/drop_counts.h"

namespace vf::nmea {

// Every "%" doubled, so that the line can serve as a trace format.
void DoublePercentSigns(std::string_view line, std::string& out);

// The checksum test: false only for a line that is too short or whose
// "*hh" (third-last character "*") does not match the XOR of the characters
// between the first one and the "*". A line without that "*" passes untested.
bool PassesChecksum(std::string_view sentence);

// The fields of a "VDM" sentence that the assembly needs; the payload points
// into the sentence.
struct VdmFragment {
  uint8_t count;
  uint8_t number;
  uint8_t sequenceId;
  std::string_view payload;
  bool ownShip = false;  // a "VDO" sentence
  bool hasSequenceId = false;  // the field is not empty
  char channel = 0;            // the radio channel's first character, 0 when empty
  int fillBits = 0;            // 0 when the field is empty; -1 when it is no digit
};

// Nothing unless the sentence has at least seven comma-separated fields,
// field 0 contains "VDM" (or, with `acceptOwnShip`, "VDO"), and count,
// number (1..9) and sequence id (0..9) are in range; `rejected`, when given,
// then says why.
std::optional<VdmFragment> ParseVdmSentence(std::string_view sentence, bool acceptOwnShip = false,
                                            DropCause* rejected = nullptr);

// An NMEA 4.0 tag block in front of a sentence: "\s:2573135,c:1671620143*0A\".
struct TagBlock {
  std::string_view sentence;  // what follows the tag block
  bool checksumPasses = false;  // "*hh" at its end is the XOR of its characters before the "*"
  bool hasTime = false;
  double unixSeconds = 0.0;  // its "c:" field: seconds, or milliseconds when larger than 10^11
};
// Nothing when the line does not begin with a complete tag block.
std::optional<TagBlock> SplitTagBlock(std::string_view line);

}  // namespace vf::nmea
