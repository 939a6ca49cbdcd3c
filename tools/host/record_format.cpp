#include "record_format.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "ais_utf8.h"

namespace vf::host {
namespace {

// The text a reader of the record sees: up to the first NUL ('@' on the air).
std::string Visible(const CWideString& text) {
  const std::u16string_view view = text.View();
  return ToUtf8(view.substr(0, view.find(u'\0')));
}

std::string Printf(const char* format, auto... values) {
  char buffer[256];
  const int length = std::snprintf(buffer, sizeof buffer, format, values...);
  return std::string(buffer, length < 0 ? 0 : std::min<size_t>(static_cast<size_t>(length), sizeof buffer - 1));
}

const char* NavigationalStatus(int32_t status) {
  static const char* const kNames[] = {"under way using engine", "at anchor", "not under command",
                                       "restricted manoeuvrability", "constrained by draught", "moored",
                                       "aground", "engaged in fishing", "under way sailing"};
  if (status >= 0 && status < static_cast<int32_t>(std::size(kNames))) return kNames[status];
  return status == 15 ? "status not defined" : "reserved status";
}

const char* ClassName(int32_t stationClass) {
  switch (stationClass) {
    case kClassA: return "A";
    case kClassB: return "B";
    case kClassBaseStation: return "base";
  }
  return "?";
}

std::string TimeOfDay(double unixSeconds) {
  const auto whole = static_cast<time_t>(std::floor(unixSeconds));
  const int milliseconds = static_cast<int>((unixSeconds - std::floor(unixSeconds)) * 1000.0);
  const std::tm utc = *std::gmtime(&whole);  // the host prints from one thread
  return Printf("%02d:%02d:%02d.%03d UTC", utc.tm_hour, utc.tm_min, utc.tm_sec, milliseconds);
}

std::string Position(const CRawDataAis& record) {
  return Printf("%10.7f %c %11.7f %c", std::fabs(record.m_dLatitude), record.m_dLatitude < 0 ? 'S' : 'N',
                std::fabs(record.m_dLongitude), record.m_dLongitude < 0 ? 'W' : 'E');
}

std::string Motion(const CRawDataAis& record) {
  return Printf("%5.1f kn %5.1f deg", record.m_dSpeed, record.m_dCourse);
}

std::string Dimensions(const CRawDataAis& record) {
  return Printf("type %d, %g x %g m", record.m_nShipType, record.m_dToBow + record.m_dToStern,
                record.m_dToPort + record.m_dToStarboard);
}

std::string Details(const CRawDataAis& record) {
  switch (record.m_nContents) {
    case kContentsPosition:
      return Position(record) + "  " + Motion(record) + "  " + NavigationalStatus(record.m_nNavStatus);
    case kContentsBaseStation: return Position(record);
    case kContentsStaticVoyage:
      return "\"" + Visible(record.m_strName) + "\" call sign " + Visible(record.m_strCallSign) + ", " +
             Dimensions(record) + ", to \"" + Visible(record.m_strDestination) + "\"";
    case kContentsClassBPosition: return Position(record) + "  " + Motion(record);
    case kContentsStaticPartA: return "\"" + Visible(record.m_strName) + "\"";
    case kContentsStaticPartB: return "call sign " + Visible(record.m_strCallSign) + ", " + Dimensions(record);
  }
  return "";
}

std::string JsonString(const CWideString& text) {
  std::string out = "\"";
  for (const char c : Visible(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += Printf("\\u%04x", static_cast<unsigned>(c));
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

const char* ContentsName(uint16_t contents) {
  switch (contents) {
    case kContentsPosition: return "position";
    case kContentsBaseStation: return "base station";
    case kContentsStaticVoyage: return "static and voyage";
    case kContentsClassBPosition: return "class B position";
    case kContentsStaticPartA: return "static part A";
    case kContentsStaticPartB: return "static part B";
  }
  return "unknown";
}

std::string DescribeRecord(const CRawDataAis& record) {
  return TimeOfDay(record.m_dTime) + Printf("  %9u  %-4s  %-17s  ", record.m_nMMSI, ClassName(record.m_nClass),
                                            ContentsName(record.m_nContents)) +
         Details(record);
}

std::string RecordJson(const CRawDataAis& record) {
  return Printf("{\"m_nType\":%u,\"m_nContents\":%u,\"m_nDeviceId\":%d,\"m_dTime\":%.3f,\"m_dTimeOffset\":%.3f,",
                record.m_nType, record.m_nContents, record.m_nDeviceId, record.m_dTime, record.m_dTimeOffset) +
         Printf("\"m_nMMSI\":%u,\"m_nTimeReceived\":%d,\"m_nShipType\":%d,\"m_nNavStatus\":%d,\"m_nClass\":%d,",
                record.m_nMMSI, record.m_nTimeReceived, record.m_nShipType, record.m_nNavStatus, record.m_nClass) +
         Printf("\"m_dLatitude\":%.7f,\"m_dLongitude\":%.7f,\"m_dSpeed\":%.1f,\"m_dCourse\":%.1f,", record.m_dLatitude,
                record.m_dLongitude, record.m_dSpeed, record.m_dCourse) +
         Printf("\"m_dToBow\":%g,\"m_dToStern\":%g,\"m_dToPort\":%g,\"m_dToStarboard\":%g,", record.m_dToBow,
                record.m_dToStern, record.m_dToPort, record.m_dToStarboard) +
         "\"m_strCallSign\":" + JsonString(record.m_strCallSign) + ",\"m_strName\":" + JsonString(record.m_strName) +
         ",\"m_strDestination\":" + JsonString(record.m_strDestination) + "}";
}

std::string ConfigJson(const CCfgDevice& config) {
  return Printf("{\"m_nDeviceId\":%d,\"m_nConnectionType\":%d,\"m_nSerialPort\":%d,\"m_nSerialSpeed\":%d,",
                config.m_nDeviceId, config.m_nConnectionType, config.m_nSerialPort, config.m_nSerialSpeed) +
         Printf("\"m_nSerialFormat\":%d,\"m_nSocketType\":%d,\"m_nIpPort\":%d,\"m_nRemoteIpPort\":%d,",
                config.m_nSerialFormat, config.m_nSocketType, config.m_nIpPort, config.m_nRemoteIpPort) +
         Printf("\"m_nSpare\":%d,\"m_nTimeOffset\":%d,\"m_nSerialTimeout\":%d,", config.m_nSpare,
                config.m_nTimeOffset, config.m_nSerialTimeout) +
         "\"m_strHostAddress\":" + JsonString(config.m_strHostAddress) +
         ",\"m_strOptions\":" + JsonString(config.m_strOptions) + ",\"m_strSpare\":" + JsonString(config.m_strSpare) +
         "}";
}

}  // namespace vf::host
