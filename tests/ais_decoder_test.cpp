// Payloads of every supported message type, decoded to target records, and
// the six-bit rules beneath the decoders.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ais/decoders.h"
#include "ais/payload_bits.h"
#include "payload_encoder.h"

namespace {

std::u16string Padded(std::u16string_view text, size_t length) {
  std::u16string out(text);
  out.resize(length, u'\0');
  return out;
}

struct Expected {
  uint16_t contents;
  uint32_t mmsi;
  int32_t stationClass;
  int32_t navStatus = 15;
  double latitude = 0.0, longitude = 0.0, speed = 0.0, course = 0.0;
  int32_t shipType = 0;
  double toBow = 0.0, toStern = 0.0, toPort = 0.0, toStarboard = 0.0;
  std::u16string callSign = {}, name = {}, destination = {};
};

// The contract's rules read bits past the payload's end as 0 and give every
// character six bits. The default rules read only the bits that arrived (the
// payload less its fill bits): a numeric field past them rejects the
// message, a text field ends at its last whole character, and a character
// outside the armour or a fill count outside 0-5 rejects it too.
using vf::ais::Rejection;
struct WholeBits {
  std::optional<Expected> record;  // none: rejected, for `why`
  Rejection why = Rejection::kNotDecoded;
};

struct DecodeCase {
  const char* what;
  std::string payload;
  std::optional<Expected> record;  // by the contract's rules; none: the message is rejected
  std::optional<WholeBits> wholeBits = std::nullopt;  // by the default rules, where they differ
  int fillBits = 0;
  bool allTypes = false;  // types 9, 19, 21 and 27 decoded (the "TYPES=ALL" entry)
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.what << " [" << c.payload << "]"; }

std::string Type5(const char* name = "NORTHERN STAR") {
  vf::sim::PayloadWriter w;
  w.Put(5, 6).Put(0, 2).Put(211000000, 30).Put(0, 2).Put(9123456, 30).PutText("PD1234", 7);
  w.PutText(name, 20).Put(70, 8).Put(100, 9).Put(20, 9).Put(5, 6).Put(10, 6).Put(1, 4);
  w.Put(5, 4).Put(17, 5).Put(12, 5).Put(30, 6).Put(55, 8).PutText("ROTTERDAM", 20).Put(0, 1).Put(0, 1);
  return w.Armoured();
}

std::string Type3NotAvailable() {
  vf::sim::PayloadWriter w;
  w.Put(3, 6).Put(0, 2).Put(366000001, 30).Put(15, 4).PutSigned(-128, 8).Put(1023, 10).Put(0, 1);
  w.PutSigned(181 * 600000, 28).PutSigned(91 * 600000, 27).Put(3600, 12).Put(511, 9).Put(60, 6).Put(0, 19);
  return w.Armoured();
}

std::string Type1Longitude(uint32_t longitudeBits) {
  vf::sim::PayloadWriter w;
  w.Put(1, 6).Put(0, 2).Put(211000000, 30).Put(0, 4).Put(0, 8).Put(0, 10).Put(0, 1).Put(longitudeBits, 28);
  w.Put(0, 27).Put(0, 12).Put(0, 40);
  return w.Armoured();
}

std::string Type18NotAvailable() {
  vf::sim::PayloadWriter w;
  w.Put(18, 6).Put(0, 2).Put(338000002, 30).Put(0, 8).Put(1023, 10).Put(0, 1);
  w.PutSigned(181 * 600000, 28).PutSigned(91 * 600000, 27).Put(3600, 12).Put(511, 9).Put(60, 6).Put(0, 44);
  return w.Armoured();
}

std::string Type24(unsigned part, std::string_view extra = "") {
  vf::sim::PayloadWriter w;
  w.Put(24, 6).Put(0, 2).Put(244123456, 30).Put(part, 2);
  if (part == 0) {
    w.PutText("SEA BREEZE", 20).Put(0, 8);
  } else {
    w.Put(37, 8).PutText("VND", 3).Put(12, 4).Put(4242, 20).PutText("PH1234", 7);
    w.Put(8, 9).Put(4, 9).Put(2, 6).Put(1, 6).Put(1, 4).Put(0, 2);
  }
  return w.Armoured() + std::string(extra);
}

// Positions in the messages' own units: 1/600000 degree (type 27: 1/600).
std::string Type9() {
  vf::sim::PayloadWriter w;
  w.Put(9, 6).Put(0, 2).Put(111232511, 30).Put(303, 12).Put(42, 10).Put(0, 1);
  w.PutSigned(-44100000, 28).PutSigned(24150000, 27).Put(1234, 12).Put(0, 40);
  return w.Armoured();
}

std::string Type19() {
  vf::sim::PayloadWriter w;
  w.Put(19, 6).Put(0, 2).Put(367000019, 30).Put(0, 8).Put(105, 10).Put(0, 1);
  w.PutSigned(2700000, 28).PutSigned(31350000, 27).Put(900, 12).Put(511, 9).Put(60, 6).Put(0, 4);
  w.PutText("EXTENDED B", 20).Put(37, 8).Put(10, 9).Put(5, 9).Put(2, 6).Put(3, 6).Put(1, 4).Put(0, 7);
  return w.Armoured();
}

// An aid to navigation whose name goes on in the extension after bit 272.
std::string Type21(std::string_view extension) {
  vf::sim::PayloadWriter w;
  w.Put(21, 6).Put(0, 2).Put(992000021, 30).Put(1, 5).PutText("NORTH PIER LIGHT", 20).Put(0, 1);
  w.PutSigned(3150000, 28).PutSigned(36300000, 27).Put(0, 30).Put(7, 4).Put(60, 6).Put(0, 13);
  w.PutText(extension, static_cast<unsigned>(extension.size()));
  return w.Armoured();
}

std::string Type27() {
  vf::sim::PayloadWriter w;
  w.Put(27, 6).Put(0, 2).Put(273000027, 30).Put(1, 1).Put(0, 1).Put(3, 4);
  w.PutSigned(18300, 18).PutSigned(-7350, 17).Put(17, 6).Put(245, 9).Put(0, 2);
  return w.Armoured();
}

const Expected kPositionOf211000000{
    .contents = 1, .mmsi = 211000000, .stationClass = kClassA, .navStatus = 5, .latitude = 52.25, .longitude = -4.5,
    .speed = 12.3, .course = 45.6};

Expected Moving(uint16_t contents, uint32_t mmsi, int32_t stationClass, double latitude, double longitude,
                double speed, double course) {
  return {.contents = contents, .mmsi = mmsi, .stationClass = stationClass, .latitude = latitude,
          .longitude = longitude, .speed = speed, .course = course};
}

Expected BaseStation(double longitude, double latitude) {
  return Moving(2, 2442000, kClassBaseStation, latitude, longitude, 0.0, 0.0);
}

Expected StaticVoyage(std::u16string destination, std::u16string name = Padded(u"NORTHERN STAR", 20)) {
  return {.contents = 4, .mmsi = 211000000, .stationClass = kClassA, .shipType = 70, .toBow = 100, .toStern = 20,
          .toPort = 5, .toStarboard = 10, .callSign = Padded(u"PD1234", 7), .name = std::move(name),
          .destination = std::move(destination)};
}

const Expected kStaticPartA{
    .contents = 16, .mmsi = 244123456, .stationClass = kClassB, .name = Padded(u"SEA BREEZE", 20)};
const Expected kStaticPartB{.contents = 32, .mmsi = 244123456, .stationClass = kClassB, .shipType = 37, .toBow = 8,
                            .toStern = 4, .toPort = 2, .toStarboard = 1, .callSign = Padded(u"PH1234", 7)};

const DecodeCase kCases[] = {
    {"type 1", "139>Jh501sOcIa0MqLt1j?wp0000", kPositionOf211000000},
    {"type 2 decodes as type 1", "239>Jh501sOcIa0MqLt1j?wp0000", kPositionOf211000000},
    {"type 3 decodes as type 1", "339>Jh501sOcIa0MqLt1j?wp0000", kPositionOf211000000},
    {"type 3 not-available codes pass as scaled values", Type3NotAvailable(),
     Moving(1, 366000001, kClassA, 91.0, 181.0, 102.3, 360.0)},
    {"longitude of all ones", Type1Longitude(0x0FFFFFFF),
     Expected{.contents = 1, .mmsi = 211000000, .stationClass = kClassA, .navStatus = 0, .longitude = -1.0 / 600000.0}},
    {"most negative longitude", Type1Longitude(0x08000000),
     Expected{.contents = 1, .mmsi = 211000000, .stationClass = kClassA, .navStatus = 0,
              .longitude = -134217728.0 / 600000.0}},
    {"seven characters of type 1: the rest reads as zeros", "139>Jh5",
     Expected{.contents = 1, .mmsi = 211000000, .stationClass = kClassA, .navStatus = 5},
     WholeBits{std::nullopt, Rejection::kCutShort}},
    {"type 1 cut after 17 characters", "139>Jh501sOcIa0Mq",
     [] {
       Expected e = kPositionOf211000000;
       e.latitude = (31350000 & ~0x3FFF) / 600000.0;  // its top 13 bits, then zeros
       e.course = 0.0;
       return e;
     }(),
     WholeBits{std::nullopt, Rejection::kCutShort}},
    {"type 1 cut after 21 characters: course needs 128 bits", "139>Jh501sOcIa0MqLt1j", kPositionOf211000000,
     WholeBits{std::nullopt, Rejection::kCutShort}},
    {"type 1 of 128 bits has every field its record needs", "139>Jh501sOcIa0MqLt1j?", kPositionOf211000000,
     std::nullopt, 4},
    {"type 1 with one fill bit too many", "139>Jh501sOcIa0MqLt1j?", kPositionOf211000000,
     WholeBits{std::nullopt, Rejection::kCutShort}, 5},
    {"fill bits 6", "139>Jh501sOcIa0MqLt1j?wp0000", kPositionOf211000000,
     WholeBits{std::nullopt, Rejection::kBadFillBits}, 6},
    {"fill bits that are no number", "139>Jh501sOcIa0MqLt1j?wp0000", kPositionOf211000000,
     WholeBits{std::nullopt, Rejection::kBadFillBits}, -1},
    {"a character outside the armour", "139>Jh501sOcIa0MqLt1j?wp00X0", kPositionOf211000000,
     WholeBits{std::nullopt, Rejection::kBadCharacter}},
    {"type 4", "402E341vQHdRpPDVG0MqLt100000", BaseStation(4.5, 52.25)},
    {"type 4 south-west", "402E341vQHdRprvJtQdm<H100000", BaseStation(-70.25, -33.5)},
    {"type 4 not available", "402E341vQHdRp<tSF0l4Q@100000", BaseStation(181.0, 91.0)},
    {"type 4 cut at 120 bits", "402E341vQHdRpPDVG0Mq", BaseStation(4.5, 31342592.0 / 600000.0),
     WholeBits{std::nullopt, Rejection::kCutShort}},
    {"type 5", Type5(), StaticVoyage(Padded(u"ROTTERDAM", 20))},
    {"type 5 name of spaces", Type5("                    "),
     StaticVoyage(Padded(u"ROTTERDAM", 20), std::u16string(20, u' '))},
    {"type 5 cut after 50 characters", Type5().substr(0, 50), StaticVoyage(Padded(u"", 20)),
     WholeBits{std::nullopt, Rejection::kCutShort}},
    {"type 5 cut after 52 characters", Type5().substr(0, 52), StaticVoyage(Padded(u"RL", 20)),
     WholeBits{std::nullopt, Rejection::kCutShort}},
    {"type 5 of 420 bits, as many transmitters send it", Type5().substr(0, 70), StaticVoyage(Padded(u"ROTTERDAM", 20)),
     WholeBits{StaticVoyage(Padded(u"ROTTERDAM", 19))}},
    {"type 5 of 422 bits", Type5(), StaticVoyage(Padded(u"ROTTERDAM", 20)), std::nullopt, 4},
    {"type 5 whose name has a character outside the armour", [] {
       std::string payload = Type5("SEA BREEZE");
       payload[25] = 'X';
       return payload;
     }(),
     StaticVoyage(Padded(u"ROTTERDAM", 20), Padded(u"SEA BRJEZE", 20)),  // 'X' reads as value 40 by arithmetic
     WholeBits{std::nullopt, Rejection::kBadCharacter}},
    {"type 18", "B39>Jh00=p59UhK=C62a7wv5j000", Moving(8, 211000000, kClassB, -33.5, 4.5, 5.5, 270.5)},
    {"type 18 not available", Type18NotAvailable(), Moving(8, 338000002, kClassB, 91.0, 181.0, 102.3, 360.0)},
    {"type 24 part A", Type24(0), kStaticPartA},
    {"type 24 part B", Type24(1), kStaticPartB},
    {"type 24 part B with extra characters", Type24(1, "0000w"), kStaticPartB},
    {"type 24 part A cut inside its name", Type24(0).substr(0, 9),
     Expected{.contents = 16, .mmsi = 244123456, .stationClass = kClassB, .name = Padded(u"SE", 20)},
     WholeBits{std::nullopt, Rejection::kCutShort}},
    {"type 24 part A without its spare bits", Type24(0).substr(0, 27), kStaticPartA},
    {"type 24 part 2 is dropped", Type24(2), std::nullopt, WholeBits{std::nullopt, Rejection::kNothingToRecord}},
    {"type 24 part 3 is dropped", Type24(3), std::nullopt, WholeBits{std::nullopt, Rejection::kNothingToRecord}},
    {"six characters", "139>Jh", std::nullopt, WholeBits{std::nullopt, Rejection::kCutShort}},
    {"MMSI 0", "1000000", std::nullopt},
    {"type 4 with MMSI 0", "400000000000000000000000000", std::nullopt},
    {"type 0", "039>Jh501sOcIa0MqLt1j?wp0000", std::nullopt},
    {"type 9 is dropped unless all types are asked for", Type9(), std::nullopt,
     WholeBits{std::nullopt, Rejection::kNotDecoded}},
    {"type 9", Type9(),
     Expected{.contents = 64, .mmsi = 111232511, .stationClass = kClassSarAircraft, .latitude = 40.25,
              .longitude = -73.5, .speed = 42, .course = 123.4},
     std::nullopt, 0, true},
    {"type 19", Type19(),
     Expected{.contents = 128, .mmsi = 367000019, .stationClass = kClassB, .latitude = 52.25, .longitude = 4.5,
              .speed = 10.5, .course = 90, .shipType = 37, .toBow = 10, .toStern = 5, .toPort = 2, .toStarboard = 3,
              .name = Padded(u"EXTENDED B", 20)},
     std::nullopt, 0, true},
    {"type 21 with a name extension", Type21("EXT"),
     Expected{.contents = 256, .mmsi = 992000021, .stationClass = kClassAidToNavigation, .latitude = 60.5,
              .longitude = 5.25, .shipType = 1, .name = Padded(u"NORTH PIER LIGHT", 20) + u"EXT"},
     std::nullopt, 4, true},
    {"type 21 without one", Type21(""),
     Expected{.contents = 256, .mmsi = 992000021, .stationClass = kClassAidToNavigation, .latitude = 60.5,
              .longitude = 5.25, .shipType = 1, .name = Padded(u"NORTH PIER LIGHT", 20)},
     std::nullopt, 4, true},
    {"type 27: positions in tenths of a minute", Type27(),
     Expected{.contents = 512, .mmsi = 273000027, .stationClass = kClassA, .navStatus = 3, .latitude = -12.25,
              .longitude = 30.5, .speed = 17, .course = 245},
     std::nullopt, 0, true},
    {"lower-case first character", "b39>Jh501sOcIa0MqLt1j?wp0000", std::nullopt},
    {"punctuation first character", "!39>Jh501sOcIa0MqLt1j?wp0000", std::nullopt,
     WholeBits{std::nullopt, Rejection::kBadCharacter}},
    {"empty payload", "", std::nullopt},
};

class Decoders : public testing::TestWithParam<DecodeCase> {};

void ExpectRecord(const vf::ais::DecodedRecord& decoded, const Expected& e) {
  ASSERT_TRUE(decoded);
  const CRawDataAis& r = *decoded.record;
  EXPECT_EQ(r.m_nType, RAW_DATA_TYPE_AIS);
  EXPECT_EQ(decoded.contents, e.contents);
  EXPECT_EQ(r.m_nMMSI, e.mmsi);
  EXPECT_EQ(r.m_nClass, e.stationClass);
  EXPECT_EQ(r.m_nNavStatus, e.navStatus);
  EXPECT_DOUBLE_EQ(r.m_dLatitude, e.latitude);
  EXPECT_DOUBLE_EQ(r.m_dLongitude, e.longitude);
  EXPECT_DOUBLE_EQ(r.m_dSpeed, e.speed);
  EXPECT_DOUBLE_EQ(r.m_dCourse, e.course);
  EXPECT_EQ(r.m_nShipType, e.shipType);
  EXPECT_EQ(r.m_dToBow, e.toBow);
  EXPECT_EQ(r.m_dToStern, e.toStern);
  EXPECT_EQ(r.m_dToPort, e.toPort);
  EXPECT_EQ(r.m_dToStarboard, e.toStarboard);
  EXPECT_EQ(r.m_strCallSign.View(), e.callSign);
  EXPECT_EQ(r.m_strName.View(), e.name);
  EXPECT_EQ(r.m_strDestination.View(), e.destination);
  EXPECT_EQ(r.m_dReserved, 0.0);
  EXPECT_EQ(r.m_nReserved1, 0u);
  EXPECT_EQ(r.m_nReserved2, 0u);
  EXPECT_EQ(r.m_nContents, 0u) << "set at delivery";
}

TEST_P(Decoders, BuildTheRecordOfTheFieldTable) {
  const DecodeCase& c = GetParam();
  const vf::ais::DecodedRecord decoded = vf::ais::DecodeAisPayload(c.payload, c.allTypes);
  if (!c.record) {
    EXPECT_FALSE(decoded);
  } else {
    ExpectRecord(decoded, *c.record);
  }
}

TEST_P(Decoders, UseOnlyTheBitsThatArrived) {
  const DecodeCase& c = GetParam();
  const WholeBits whole = c.wholeBits.value_or(WholeBits{c.record});
  const vf::ais::DecodedRecord decoded = vf::ais::DecodeAisPayload(c.payload, {c.allTypes, true, c.fillBits});
  if (!whole.record) {
    EXPECT_FALSE(decoded);
    EXPECT_EQ(decoded.rejection, whole.why);
  } else {
    ExpectRecord(decoded, *whole.record);
  }
}

INSTANTIATE_TEST_SUITE_P(Messages, Decoders, testing::ValuesIn(kCases));

// --- the six-bit rules that every decoder relies on -------------------------

using vf::ais::ExtractBits;
using vf::ais::ExtractSignedBits;
using vf::ais::GetSixBitText;
using vf::ais::SixBitValue;

TEST(SixBitValue, ArmouringCharactersAndEveryOtherCharacter) {
  const struct {
    char ch;
    uint8_t value;
  } cases[] = {{'0', 0}, {'9', 9}, {'W', 39}, {'`', 40}, {'w', 63}, {'X', 40}, {' ', 48}, {'\0', 16}, {'\xff', 15}};
  for (const auto& c : cases) EXPECT_EQ(SixBitValue(c.ch), c.value) << "character " << int(c.ch);
  for (unsigned value = 0; value < 64; ++value) EXPECT_EQ(SixBitValue(vf::sim::ArmourCharacter(value)), value);
}

TEST(ExtractBits, FieldsAcrossCharactersAndPastTheEnd) {
  // "w0" is 111111 000000.
  EXPECT_EQ(ExtractBits("w0", 0, 6), 63u);
  EXPECT_EQ(ExtractBits("w0", 3, 6), 0b111000u);
  EXPECT_EQ(ExtractBits("w0", 5, 1), 1u);
  EXPECT_EQ(ExtractBits("w", 3, 6), 0b111000u) << "bits past the end read as 0";
  EXPECT_EQ(ExtractBits("w", 12, 30), 0u) << "a field wholly past the end is 0";
  EXPECT_EQ(ExtractBits("wwwwww", 0, 32), 0xFFFFFFFFu);
}

TEST(ExtractBits, SignedFieldsAreSignExtendedFromTheirTopBit) {
  vf::sim::PayloadWriter w;
  w.Put(0x8000000, 28).Put(0x7FFFFFF, 27).Put(0x7FFFFFF, 28);
  const std::string payload = w.Armoured();
  EXPECT_EQ(ExtractSignedBits(payload, 0, 28), -134217728);
  EXPECT_EQ(ExtractSignedBits(payload, 28, 27), -1);
  EXPECT_EQ(ExtractSignedBits(payload, 55, 28), 0x7FFFFFF);
}

std::u16string Text(std::string_view payload, uint32_t first, uint32_t length) {
  CWideString text;
  GetSixBitText(payload, first, length, text);
  return std::u16string(text.View());
}

TEST(GetSixBitText, WholeGroupsOnlyAppendedToWhatTheTextHolds) {
  EXPECT_EQ(Text("ww", 0, 5), u"");
  EXPECT_EQ(Text("ww", 0, 13), u"??");
  EXPECT_EQ(Text("w", 0, 18), std::u16string(u"?") + u'\0' + u'\0') << "past the end gives U+0000";
  CWideString text(u"X");
  GetSixBitText("1", 0, 6, text);
  EXPECT_EQ(text.View(), u"XA");
}

// The whole table in order, then padding: '@' becomes NUL, trailing spaces stay.
TEST(GetSixBitText, KeepsEveryCharacterAndTurnsAtIntoNul) {
  vf::sim::PayloadWriter w;
  for (unsigned value = 0; value < 64; ++value) w.Put(value, 6);
  w.Put(32, 6).Put(32, 6).Put(0, 6).Put(0, 6);
  std::u16string expected(1, u'\0');
  for (char16_t ch = 65; ch <= 95; ++ch) expected += ch;
  for (char16_t ch = 32; ch <= 63; ++ch) expected += ch;
  expected += std::u16string(u"  ") + u'\0' + u'\0';
  EXPECT_EQ(Text(w.Armoured(), 0, 68 * 6), expected);
}

}  // namespace
