// The receive loop's work on one line: mirrored to the monitor, checked, and
// if it is a VDM sentence stored as a fragment; every message it completes
// goes to the decoders. Bad lines are dropped silently, each counted by cause.
#pragma once

#include <string>
#include <string_view>

#include "nmea/drop_counts.h"
#include "nmea/fragment_store.h"
#include "nmea/ordered_assembly.h"

namespace vf::nmea {

// How a line is taken: the checksum test, and what the option text adds.
struct LineRules {
  bool verifyChecksums = true;
  bool tagBlocks = false;         // a tag block is split off and tested on its own
  bool tagBlockTime = false;      // and its time goes with the message
  bool ownShip = false;           // "VDO" sentences are taken too
  uint32_t fragmentMaxAgeMs = 0;  // 0: fragments wait until newer ones push them out
  bool joinInOrder = true;        // sentences join only in order on one channel (OrderedAssembly)
};

// What the line that completed a message says of it beyond its payload.
struct MessageOrigin {
  bool ownShip = false;
  int fillBits = 0;  // of the message's last sentence
  bool hasTime = false;
  double unixSeconds = 0.0;  // the tag block's time
};

// Where a line's results go.
class ReceiveSink {
 public:
  virtual ~ReceiveSink() = default;
  // The line's bytes with its "%" signs doubled, for the monitor's trace.
  virtual void FeedMonitor(std::string_view escapedLine) = 0;
  // The joined payload of one complete message.
  virtual void DecodeMessage(std::string_view payload, const MessageOrigin& origin) = 0;
  // A line, or fragments, dropped.
  virtual void Dropped(DropCause cause, size_t count) = 0;
};

class CReceiveLoop {
 public:
  // `line`: the bytes a link read, without the line end.
  void HandleReceivedLine(std::string_view line, const LineRules& rules, ReceiveSink& sink);

  // Fragments wait here across passes, and across stops and starts: in
  // order, or matched by id and number alone (the contract's rules).
  OrderedAssembly m_orderedAssembly;
  FragmentStore m_vecFragments;

 private:
  // Scratch text reused from line to line.
  std::string m_strEscapedLine;
};

}  // namespace vf::nmea
