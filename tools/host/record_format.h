// How the reference host shows a target record: one readable line, or one
// JSON object whose names are the record's own field names.
#pragma once

#include <string>

#include "ais_plugin.h"

namespace vf::host {

// "01:23:45.678 UTC  257001013  A  position  59.1234567 N  10.6543210 E  12.3 kn  45.6 deg  under way using engine"
std::string DescribeRecord(const CRawDataAis& record);

// Appends {"m_nType":15,"m_nContents":1,...,"m_strDestination":""}, one line
// without its line end.
void AppendRecordJson(const CRawDataAis& record, std::string& out);

// Appends the record as gpsdecode -j prints the message it came from: gpsd's
// field names and units, only the fields that message sets, texts without
// their "@" padding and trailing spaces. Class A position reports carry no
// "type" (the record does not say which of 1, 2 and 3 it was); a part of
// message 24 prints its own fields of gpsd's line for both parts.
void AppendRecordGpsdJson(const CRawDataAis& record, std::string& out);

// The configuration record the same way: {"m_nDeviceId":0,...,"m_strSpare":""}.
std::string ConfigJson(const CCfgDevice& config);

// "position", "base station", "static and voyage", "class B position",
// "static part A", "static part B".
const char* ContentsName(uint16_t contents);

}  // namespace vf::host
