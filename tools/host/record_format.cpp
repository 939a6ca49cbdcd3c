#include "record_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <ctime>
#include <iterator>
#include <string_view>

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

uint16_t KindOf(const CRawDataAis& record) { return static_cast<uint16_t>(record.m_nContents & ~kContentsOwnShip); }

// The fields each kind of record carries: the others hold nothing the
// message said, and are not shown.
struct Carried {
  bool position, motion, navStatus, shipType, dimensions, name, callSign, destination;
};

Carried CarriedBy(uint16_t kind) {
  switch (kind) {
    case kContentsPosition: return {true, true, true, false, false, false, false, false};
    case kContentsBaseStation: return {true, false, false, false, false, false, false, false};
    case kContentsStaticVoyage: return {false, false, false, true, true, true, true, true};
    case kContentsClassBPosition: return {true, true, false, false, false, false, false, false};
    case kContentsStaticPartA: return {false, false, false, false, false, true, false, false};
    case kContentsStaticPartB: return {false, false, false, true, true, false, true, false};
    case kContentsSarAircraft: return {true, true, false, false, false, false, false, false};
    case kContentsExtendedClassB: return {true, true, false, true, true, true, false, false};
    case kContentsAidToNavigation: return {true, false, false, true, true, true, false, false};
    case kContentsLongRange: return {true, true, true, false, false, false, false, false};
  }
  return {};
}

// The values a message sends for "not available", by kind: speed and course
// in the record's units.
struct NotAvailable {
  double speed, course;
};

NotAvailable NotAvailableOf(uint16_t kind) {
  switch (kind) {
    case kContentsSarAircraft: return {1023, 360};
    case kContentsLongRange: return {63, 511};
  }
  return {102.3, 360};
}

bool Near(double value, double code) { return std::fabs(value - code) < 1e-6; }

bool PositionAvailable(const CRawDataAis& record) {
  return !Near(record.m_dLatitude, 91) && !Near(record.m_dLongitude, 181);
}

std::string Position(const CRawDataAis& record) {
  if (!PositionAvailable(record)) return Printf("%-26s", "position n/a");  // as wide as a position
  return Printf("%10.7f %c %11.7f %c", std::fabs(record.m_dLatitude), record.m_dLatitude < 0 ? 'S' : 'N',
                std::fabs(record.m_dLongitude), record.m_dLongitude < 0 ? 'W' : 'E');
}

std::string Motion(const CRawDataAis& record) {
  const NotAvailable codes = NotAvailableOf(KindOf(record));
  const std::string speed = Near(record.m_dSpeed, codes.speed) ? "  n/a kn" : Printf("%5.1f kn", record.m_dSpeed);
  const std::string course =
      Near(record.m_dCourse, codes.course) ? "   n/a deg" : Printf("%5.1f deg", record.m_dCourse);
  return speed + " " + course;
}

std::string Size(const CRawDataAis& record) {
  return Printf("%g x %g m", record.m_dToBow + record.m_dToStern, record.m_dToPort + record.m_dToStarboard);
}

std::string Dimensions(const CRawDataAis& record) {
  return Printf("type %d, ", record.m_nShipType) + Size(record);
}

std::string Quoted(const CWideString& text) { return "\"" + Visible(text) + "\""; }

std::string Details(const CRawDataAis& record) {
  switch (KindOf(record)) {
    case kContentsPosition:
    case kContentsLongRange:
      return Position(record) + "  " + Motion(record) + "  " + NavigationalStatus(record.m_nNavStatus);
    case kContentsBaseStation: return Position(record);
    case kContentsStaticVoyage:
      return Quoted(record.m_strName) + " call sign " + Visible(record.m_strCallSign) + ", " + Dimensions(record) +
             ", to " + Quoted(record.m_strDestination);
    case kContentsClassBPosition:
    case kContentsSarAircraft: return Position(record) + "  " + Motion(record);
    case kContentsStaticPartA: return Quoted(record.m_strName);
    case kContentsStaticPartB: return "call sign " + Visible(record.m_strCallSign) + ", " + Dimensions(record);
    case kContentsExtendedClassB:
      return Position(record) + "  " + Motion(record) + "  " + Quoted(record.m_strName) + ", " + Dimensions(record);
    case kContentsAidToNavigation:
      return Position(record) + "  " + Quoted(record.m_strName) + Printf(", aid type %d, ", record.m_nShipType) +
             Size(record);
  }
  return "";
}

// Fixed-point text of `value` with `decimals` digits after the point, exactly
// as printf's %.Nf gives it. The value is scaled and rounded as an integer
// unless it is too large for that or lies so near a half that the scaling's
// own rounding could tip it; those few go through std::to_chars.
char* PutFixed(char* at, char* end, double value, int decimals) {
  static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  const double magnitude = std::fabs(value);
  const double scaled = magnitude * kScale[decimals];
  const double rounded = std::nearbyint(scaled);
  if (!(scaled < 1e15) || std::fabs(std::fabs(scaled - rounded) - 0.5) < 1e-3) {
    return std::to_chars(at, end, value, std::chars_format::fixed, decimals).ptr;
  }
  if (std::signbit(value)) *at++ = '-';
  const auto units = static_cast<uint64_t>(rounded);
  const auto divisor = static_cast<uint64_t>(kScale[decimals]);
  at = std::to_chars(at, end, units / divisor).ptr;
  if (decimals == 0) return at;
  *at++ = '.';
  uint64_t fraction = units % divisor;
  for (int digit = decimals - 1; digit >= 0; --digit) {
    at[digit] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  return at + decimals;
}

// As printf's %g: six significant digits, no trailing zeros. The record's
// dimensions are whole numbers, which %g prints as integers.
char* PutGeneral(char* at, char* end, double value) {
  if (value == std::trunc(value) && std::fabs(value) < 1e6 && !(value == 0 && std::signbit(value))) {
    return std::to_chars(at, end, static_cast<int64_t>(value)).ptr;
  }
  return std::to_chars(at, end, value, std::chars_format::general, 6).ptr;
}

// One JSON object appended field by field to the caller's buffer: names and
// numbers are put together here and appended in one piece, and once the
// caller's buffer has grown, formatting allocates nothing.
class JsonObject {
 public:
  explicit JsonObject(std::string& out) : m_out(out) { *m_at++ = '{'; }
  void Close() {
    *m_at++ = '}';
    Flush();
  }

  JsonObject& Integer(std::string_view name, int64_t value) {
    Name(name);
    m_at = std::to_chars(m_at, End(), value).ptr;
    return *this;
  }
  JsonObject& Fixed(std::string_view name, double value, int decimals) {
    Name(name);
    m_at = PutFixed(m_at, End(), value, decimals);
    return *this;
  }
  JsonObject& General(std::string_view name, double value) {
    Name(name);
    m_at = PutGeneral(m_at, End(), value);
    return *this;
  }
  JsonObject& Word(std::string_view name, std::string_view word) {  // a JSON string without escapes
    Name(name);
    *m_at++ = '"';
    m_at = std::copy(word.begin(), word.end(), m_at);
    *m_at++ = '"';
    return *this;
  }
  // The text a reader of the record sees, up to the first NUL ('@' on the
  // air); `trimmed` drops the trailing spaces too, as gpsd does.
  JsonObject& Text(std::string_view name, const CWideString& text, bool trimmed = false) {
    Name(name);
    *m_at++ = '"';
    Flush();
    std::u16string_view view = text.View().substr(0, text.View().find(u'\0'));
    while (trimmed && !view.empty() && view.back() == u' ') view.remove_suffix(1);
    size_t run = 0;
    for (size_t i = 0; i < view.size(); ++i) {
      const char16_t c = view[i];
      if (c != u'"' && c != u'\\' && c >= 0x20) continue;
      AppendUtf8(view.substr(run, i - run), m_out);
      if (c < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        m_out += escape;
      } else {
        m_out += '\\';
        m_out += static_cast<char>(c);
      }
      run = i + 1;
    }
    AppendUtf8(view.substr(run), m_out);
    *m_at++ = '"';
    return *this;
  }

 private:
  // Room for one name and the longest number text (to_chars of a double).
  static constexpr size_t kFieldRoom = 64 + 400;

  char* End() { return m_buffer + sizeof m_buffer; }
  void Flush() {
    m_out.append(m_buffer, static_cast<size_t>(m_at - m_buffer));
    m_at = m_buffer;
  }
  void Name(std::string_view name) {
    if (static_cast<size_t>(End() - m_at) < kFieldRoom) Flush();
    if (!m_first) *m_at++ = ',';
    m_first = false;
    *m_at++ = '"';
    m_at = std::copy(name.begin(), name.end(), m_at);
    *m_at++ = '"';
    *m_at++ = ':';
  }

  std::string& m_out;
  bool m_first = true;
  char m_buffer[2 * kFieldRoom];
  char* m_at = m_buffer;
};

}  // namespace

const char* ContentsName(uint16_t contents) {
  switch (contents & ~kContentsOwnShip) {
    case kContentsPosition: return "position";
    case kContentsBaseStation: return "base station";
    case kContentsStaticVoyage: return "static and voyage";
    case kContentsClassBPosition: return "class B position";
    case kContentsStaticPartA: return "static part A";
    case kContentsStaticPartB: return "static part B";
    case kContentsSarAircraft: return "SAR aircraft";
    case kContentsExtendedClassB: return "class B extended";
    case kContentsAidToNavigation: return "aid to navigation";
    case kContentsLongRange: return "long-range";
  }
  return "unknown";
}

std::string DescribeRecord(const CRawDataAis& record) {
  const std::string kind = std::string(ContentsName(record.m_nContents)) +
                           ((record.m_nContents & kContentsOwnShip) != 0 ? " (own)" : "");
  return TimeOfDay(record.m_dTime) +
         Printf("  %9u  %-4s  %-17s  ", record.m_nMMSI, ClassName(record.m_nClass), kind.c_str()) + Details(record);
}

namespace {

// gpsd's speed: "nan" for not available, "fast" for the highest code.
JsonObject& GpsdSpeed(JsonObject& json, double speed, double unit) {
  const auto code = static_cast<int64_t>(std::llround(speed / unit));
  if (code == 1023) return json.Word("speed", "nan");
  if (code == 1022) return json.Word("speed", "fast");
  return unit == 1.0 ? json.Integer("speed", code) : json.Fixed("speed", speed, 1);
}

JsonObject& GpsdPosition(JsonObject& json, const CRawDataAis& record, int decimals = 6) {
  return json.Fixed("lon", record.m_dLongitude, decimals).Fixed("lat", record.m_dLatitude, decimals);
}

// Speed (in units of `unit` knots on the air), position and course.
JsonObject& GpsdMotion(JsonObject& json, const CRawDataAis& record, double unit) {
  return GpsdPosition(GpsdSpeed(json, record.m_dSpeed, unit), record).Fixed("course", record.m_dCourse, 1);
}

JsonObject& GpsdDimensions(JsonObject& json, const CRawDataAis& record) {
  return json.General("to_bow", record.m_dToBow)
      .General("to_stern", record.m_dToStern)
      .General("to_port", record.m_dToPort)
      .General("to_starboard", record.m_dToStarboard);
}

}  // namespace

void AppendRecordGpsdJson(const CRawDataAis& record, std::string& out) {
  JsonObject json(out);
  json.Word("class", "AIS");
  switch (KindOf(record)) {
    case kContentsPosition:
      GpsdMotion(json.Integer("mmsi", record.m_nMMSI).Integer("status", record.m_nNavStatus), record, 0.1);
      break;
    case kContentsBaseStation:
      GpsdPosition(json.Integer("type", 4).Integer("mmsi", record.m_nMMSI), record);
      break;
    case kContentsStaticVoyage:
      json.Integer("type", 5).Integer("mmsi", record.m_nMMSI).Text("callsign", record.m_strCallSign, true);
      json.Text("shipname", record.m_strName, true).Integer("shiptype", record.m_nShipType);
      GpsdDimensions(json, record).Text("destination", record.m_strDestination, true);
      break;
    case kContentsClassBPosition:
      GpsdMotion(json.Integer("type", 18).Integer("mmsi", record.m_nMMSI), record, 0.1);
      break;
    case kContentsStaticPartA:
      json.Integer("type", 24).Integer("mmsi", record.m_nMMSI).Text("shipname", record.m_strName, true);
      break;
    case kContentsStaticPartB:
      json.Integer("type", 24).Integer("mmsi", record.m_nMMSI).Integer("shiptype", record.m_nShipType);
      GpsdDimensions(json.Text("callsign", record.m_strCallSign, true), record);
      break;
    case kContentsSarAircraft:
      GpsdMotion(json.Integer("type", 9).Integer("mmsi", record.m_nMMSI), record, 1.0);
      break;
    case kContentsExtendedClassB:
      GpsdMotion(json.Integer("type", 19).Integer("mmsi", record.m_nMMSI), record, 0.1);
      GpsdDimensions(json.Text("shipname", record.m_strName, true).Integer("shiptype", record.m_nShipType), record);
      break;
    case kContentsAidToNavigation:
      json.Integer("type", 21).Integer("mmsi", record.m_nMMSI).Integer("aid_type", record.m_nShipType);
      GpsdDimensions(GpsdPosition(json.Text("name", record.m_strName, true), record), record);
      break;
    case kContentsLongRange:
      GpsdPosition(json.Integer("type", 27).Integer("mmsi", record.m_nMMSI), record, 1);
      json.Integer("speed", std::llround(record.m_dSpeed)).Integer("course", std::llround(record.m_dCourse));
      break;
    default:
      json.Integer("mmsi", record.m_nMMSI);
      break;
  }
  json.Close();
}

void AppendRecordJson(const CRawDataAis& record, std::string& out) {
  const Carried carried = CarriedBy(KindOf(record));
  JsonObject json(out);
  json.Integer("m_nType", record.m_nType)
      .Integer("m_nContents", record.m_nContents)
      .Integer("m_nDeviceId", record.m_nDeviceId)
      .Fixed("m_dTime", record.m_dTime, 3)
      .Fixed("m_dTimeOffset", record.m_dTimeOffset, 3)
      .Integer("m_nMMSI", record.m_nMMSI)
      .Integer("m_nTimeReceived", record.m_nTimeReceived)
      .Integer("m_nClass", record.m_nClass);
  // Only what the message carried: a static record has no position to show.
  if (carried.shipType) json.Integer("m_nShipType", record.m_nShipType);
  if (carried.navStatus) json.Integer("m_nNavStatus", record.m_nNavStatus);
  if (carried.position) json.Fixed("m_dLatitude", record.m_dLatitude, 7).Fixed("m_dLongitude", record.m_dLongitude, 7);
  if (carried.motion) json.Fixed("m_dSpeed", record.m_dSpeed, 1).Fixed("m_dCourse", record.m_dCourse, 1);
  if (carried.dimensions) {
    json.General("m_dToBow", record.m_dToBow)
        .General("m_dToStern", record.m_dToStern)
        .General("m_dToPort", record.m_dToPort)
        .General("m_dToStarboard", record.m_dToStarboard);
  }
  if (carried.callSign) json.Text("m_strCallSign", record.m_strCallSign);
  if (carried.name) json.Text("m_strName", record.m_strName);
  if (carried.destination) json.Text("m_strDestination", record.m_strDestination);
  json.Close();
}

std::string ConfigJson(const CCfgDevice& config) {
  std::string out;
  JsonObject(out)
      .Integer("m_nDeviceId", config.m_nDeviceId)
      .Integer("m_nConnectionType", config.m_nConnectionType)
      .Integer("m_nSerialPort", config.m_nSerialPort)
      .Integer("m_nSerialSpeed", config.m_nSerialSpeed)
      .Integer("m_nSerialFormat", config.m_nSerialFormat)
      .Integer("m_nSocketType", config.m_nSocketType)
      .Integer("m_nIpPort", config.m_nIpPort)
      .Integer("m_nRemoteIpPort", config.m_nRemoteIpPort)
      .Integer("m_nSpare", config.m_nSpare)
      .Integer("m_nTimeOffset", config.m_nTimeOffset)
      .Integer("m_nSerialTimeout", config.m_nSerialTimeout)
      .Text("m_strHostAddress", config.m_strHostAddress)
      .Text("m_strOptions", config.m_strOptions)
      .Text("m_strSpare", config.m_strSpare)
      .Close();
  return out;
}

}  // namespace vf::host
