// The message dispatcher and one decoder per supported message type. Each
// takes the whole armoured payload of one message and gives the record it
// built, or no record when the message is rejected.
#pragma once

#include <string_view>

#include "ais/target_record.h"

namespace vf::ais {

// A decoded message: its record and which message filled it.
struct DecodedRecord {
  TargetRecord record;
  AisContents contents = kContentsPosition;
  explicit operator bool() const { return record != nullptr; }
};

// Messages 9, 19, 21 and 27 only when `allTypes` is set.
DecodedRecord DecodeAisPayload(std::string_view payload, bool allTypes = false);

DecodedRecord DecodePositionReport(std::string_view payload);     // types 1, 2, 3
DecodedRecord DecodeBaseStationReport(std::string_view payload);  // type 4
DecodedRecord DecodeStaticVoyageData(std::string_view payload);   // type 5
DecodedRecord DecodeClassBPosition(std::string_view payload);     // type 18
DecodedRecord DecodeClassBStatic(std::string_view payload);       // type 24
DecodedRecord DecodeSarAircraftReport(std::string_view payload);  // type 9
DecodedRecord DecodeExtendedClassB(std::string_view payload);     // type 19
DecodedRecord DecodeAidToNavigation(std::string_view payload);    // type 21
DecodedRecord DecodeLongRangePosition(std::string_view payload);  // type 27

}  // namespace vf::ais
