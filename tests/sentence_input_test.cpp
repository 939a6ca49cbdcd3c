// Received lines through the checks, the assembly and the decoders: what
// passes, what is dropped, and the inputs that have broken other decoders.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "nmea/fragment_store.h"
#include "nmea/ordered_assembly.h"
#include "payload_encoder.h"
#include "support/record_sink.h"
#include "support/sentence_rig.h"
#include "support/test_messages.h"

namespace {

using vf::sim::NmeaChecksum;

using vf::test::kType1Mmsi;
constexpr const char* kType1 = vf::test::kType1Payload;

std::string WithChecksum(const std::string& body) { return body + NmeaChecksum(body); }
std::string Vdm(const std::string& fields) { return WithChecksum("!AIVDM," + fields); }

using Cause = vf::nmea::DropCause;

// What arrives and what is dropped, by cause.
struct Outcome {
  std::vector<uint32_t> mmsis;  // of the records that must arrive, in order
  std::vector<Cause> drops = {};  // each line dropped, counted once under its cause
};

// Every row runs twice: with "LITERAL=1" before its options (the contract's
// rules) and with the defaults. The defaults join sentences only in order on
// one channel, make records only of bits that arrived, and take tag blocks;
// a row says what they give where it differs.
struct LineCase {
  const char* what;
  std::vector<std::string> lines;
  std::u16string options;  // the configuration's option text
  std::vector<uint32_t> mmsis;  // of the records that must arrive, in order
  std::vector<Cause> drops = {};  // each line dropped, counted once under its cause
  std::optional<Outcome> byDefault = std::nullopt;
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << c.what; }

// The line as the links hand it over: one wide character per byte.
class SentenceInput : public testing::TestWithParam<LineCase> {};

void ExpectOutcome(const std::vector<std::string>& lines, const std::u16string& options, const Outcome& expected) {
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  rig.SetOptions(options);
  for (const std::string& line : lines) rig.Feed((line));
  std::vector<uint32_t> mmsis;
  for (const auto& record : sink.TakeAll()) mmsis.push_back(record->m_nMMSI);
  EXPECT_EQ(mmsis, expected.mmsis);
  vf::nmea::DropCounts drops;
  for (const Cause cause : expected.drops) drops.Add(cause);
  EXPECT_EQ(rig.path.Drops().byCause, drops.byCause);
}

TEST_P(SentenceInput, DeliversExactlyTheExpectedRecords) {
  const LineCase& c = GetParam();
  ExpectOutcome(c.lines, u"LITERAL=1;" + c.options, {c.mmsis, c.drops});
}

TEST_P(SentenceInput, DeliversOnlyWholeMessagesByDefault) {
  const LineCase& c = GetParam();
  ExpectOutcome(c.lines, c.options, c.byDefault.value_or(Outcome{c.mmsis, c.drops}));
}

const std::string kGood = Vdm(std::string("1,1,,A,") + kType1 + ",0");
const std::string kBody = std::string("!AIVDM,1,1,,A,") + kType1 + ",0";
const std::string kType5 = vf::test::Type5Payload();
const std::string kType5First = kType5.substr(0, 40), kType5Second = kType5.substr(40);

INSTANTIATE_TEST_SUITE_P(
    Checks, SentenceInput,
    testing::Values(
        LineCase{"a good sentence", {kGood}, u"", {kType1Mmsi}},
        LineCase{"a wrong checksum is dropped", {kBody + "*00"}, u"", {}, {Cause::kChecksum}},
        LineCase{"a wrong checksum passes with CRC=0", {kBody + "*00"}, u"CRC=0;", {kType1Mmsi}},
        LineCase{"CRC=2 verifies nothing", {kBody + "*00"}, u"CRC=2;", {kType1Mmsi}},
        LineCase{"lower-case checksum digits", {[] {
                   std::string line = kGood;
                   for (size_t i = line.size() - 2; i < line.size(); ++i) line[i] = char(std::tolower(line[i]));
                   return line;
                 }()},
                 u"",
                 {kType1Mmsi}},
        LineCase{"no checksum at all passes untested", {kBody}, u"", {kType1Mmsi}},
        LineCase{"a '*' with one hex digit passes untested", {kBody + "*5"}, u"", {kType1Mmsi}},
        LineCase{"five characters are dropped", {"!AIVD"}, u"", {}, {Cause::kChecksum}},
        LineCase{"five characters without the test are dropped at the split", {"!AIVD"}, u"CRC=0", {}, {Cause::kNotVdm}},
        LineCase{"VDO is own ship", {WithChecksum(std::string("!AIVDO,1,1,,A,") + kType1 + ",0")}, u"", {}, {Cause::kNotVdm}},
        LineCase{"$AIVDM is taken", {WithChecksum(std::string("$AIVDM,1,1,,A,") + kType1 + ",0")}, u"", {kType1Mmsi}},
        LineCase{"!BSVDM is taken", {WithChecksum(std::string("!BSVDM,1,1,,A,") + kType1 + ",0")}, u"", {kType1Mmsi}},
        LineCase{"number 10", {Vdm(std::string("1,10,,A,") + kType1 + ",0")}, u"", {}, {Cause::kFragmentOutOfRange}},
        LineCase{"sequence id 10", {Vdm(std::string("1,1,10,A,") + kType1 + ",0")}, u"", {}, {Cause::kFragmentOutOfRange}},
        LineCase{"count 257 reads as 1", {Vdm(std::string("257,1,,A,") + kType1 + ",0")}, u"", {kType1Mmsi}},
        LineCase{"six fields", {Vdm(std::string("1,1,,A,") + kType1)}, u"", {}, {Cause::kMalformed}},
        LineCase{"a '%' is checked in its doubled form",
                 {kBody + "%" + NmeaChecksum(kBody + "%%"), kBody + "%" + NmeaChecksum(kBody + "%")},
                 u"",
                 {kType1Mmsi},
                 {Cause::kChecksum},
                 Outcome{{}, {Cause::kFillBits, Cause::kChecksum}}},  // its fill-bit field reads "0%"
        LineCase{"an empty line", {""}, u"", {}},
        LineCase{"a GPS sentence", {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"}, u"", {}, {Cause::kNotVdm}},
        LineCase{"two sentences in one datagram: the first one counts",
                 {kGood + "\r\n" + Vdm("1,1,,B,B39>Jh00=p59UhK=C62a7wv5j000,0") + "\r\n"},
                 u"",
                 {kType1Mmsi}}));

INSTANTIATE_TEST_SUITE_P(
    Trouble, SentenceInput,
    testing::Values(
        LineCase{"multi-sentence message with an empty sequence id",
                 {Vdm("2,1,,A," + kType5First + ",0"), Vdm("2,2,,A," + kType5Second + ",2")},
                 u"",
                 {235000001}},
        LineCase{"fragment count 0 and number 0",
                 {Vdm(std::string("0,1,,A,") + kType1 + ",0"), Vdm(std::string("1,0,,A,") + kType1 + ",0")},
                 u"",
                 {},
                 {Cause::kFragmentOutOfRange, Cause::kFragmentOutOfRange}},
        LineCase{"an empty payload field", {Vdm("1,1,,A,,0")}, u"", {}, {Cause::kPayloadRejected}},
        LineCase{"number above the count", {Vdm(std::string("1,2,3,A,") + kType1 + ",0")}, u"", {}, {},
                 Outcome{{}, {Cause::kNotJoined}}},
        LineCase{"counts over 9", {Vdm(std::string("12,1,3,A,") + kType1 + ",0")}, u"", {}, {Cause::kFragmentOutOfRange}},
        LineCase{"the count changes between fragments: sentence 1 rules",
                 {Vdm("3,2,4,A," + kType5Second + ",0"), Vdm("2,1,4,A," + kType5First + ",0")},
                 u"",
                 {235000001},
                 {},
                 Outcome{{}, {Cause::kNotJoined}}},
        LineCase{"a payload shorter than its type needs", {Vdm("1,1,,A,500000@,0")}, u"", {1}, {},
                 Outcome{{}, {Cause::kPayloadCutShort}}},
        LineCase{"a payload much longer than its type needs",
                 {Vdm(std::string("1,1,,A,") + kType1 + std::string(400, 'w') + ",0")},
                 u"",
                 {kType1Mmsi}},
        LineCase{"six-bit text with no '@' padding",
                 {Vdm("1,1,,A,H39>Jh0" + std::string(30, 'W') + ",0")},
                 u"",
                 {kType1Mmsi}},
        LineCase{"text cut in the middle of a character", {Vdm("1,1,,A,H39>Jh0ABCD,3")}, u"", {kType1Mmsi}, {},
                 Outcome{{}, {Cause::kPayloadCutShort}}},
        LineCase{"a type 5 with GPS sentences between its fragments",
                 {Vdm("2,1,6,A," + kType5First + ",0"), "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D",
                  Vdm("2,2,6,A," + kType5Second + ",2")},
                 u"",
                 {235000001},
                 {Cause::kNotVdm}},
        LineCase{"a type 5 whose fragments came on different channels",
                 {Vdm("2,1,7,A," + kType5First + ",0"), Vdm("2,2,7,B," + kType5Second + ",2")},
                 u"",
                 {235000001},
                 {},
                 Outcome{{}, {Cause::kNotJoined}}},
        LineCase{"a tag block before the sentence is not a VDM sentence",
                 {"\\s:station,c:1700000000*5C\\" + kGood},
                 u"CRC=0;",
                 {},
                 {Cause::kNotVdm},
                 Outcome{{kType1Mmsi}}},
        LineCase{"a lone second fragment never completes", {Vdm("2,2,8,A," + kType5Second + ",2")}, u"", {}, {},
                 Outcome{{}, {Cause::kNotJoined}}},
        // A joined message leaves the store with its join: the next sentence
        // of its id does not decode it a second time.
        LineCase{"a one-sentence message with a sequence id, then another sentence of that id",
                 {Vdm(std::string("1,1,0,A,") + kType1 + ",0"), Vdm("2,2,0,A," + kType5Second + ",2")},
                 u"",
                 {kType1Mmsi},
                 {},
                 Outcome{{kType1Mmsi}, {Cause::kNotJoined}}},
        LineCase{"the 257th waiting fragment pushes the first out",
                 std::vector<std::string>(257, Vdm("2,1,3,A," + kType5First + ",0")), u"", {}, {Cause::kFragmentLost},
                 Outcome{{}, std::vector<Cause>(256, Cause::kNotJoined)}},
        LineCase{"a stale second sentence and the next message of its id",
                 {Vdm("2,2,5,A," + vf::test::Type5Payload("ROTTERDAM").substr(40) + ",2"),
                  Vdm("2,1,5,A," + vf::test::Type5Payload("HAMBURG").substr(0, 40) + ",0"),
                  Vdm("2,2,5,A," + vf::test::Type5Payload("HAMBURG").substr(40) + ",2")},
                 u"",
                 {235000001},
                 {},
                 Outcome{{235000001}, {Cause::kNotJoined}}},
        LineCase{"fill bits 6, 9, -1, a letter; a count beyond the payload",
                 {Vdm(std::string("1,1,,A,") + kType1 + ",6"), Vdm(std::string("1,1,,A,") + kType1 + ",9"),
                  Vdm(std::string("1,1,,A,") + kType1 + ",-1"), Vdm(std::string("1,1,,A,") + kType1 + ",x"),
                  Vdm("1,1,,A,,3")},
                 u"",
                 {kType1Mmsi, kType1Mmsi, kType1Mmsi, kType1Mmsi},
                 {Cause::kPayloadRejected},
                 Outcome{{}, std::vector<Cause>(5, Cause::kFillBits)}},
        LineCase{"type 24 parts 2 and 3 are handled, not dropped",
                 {Vdm("1,1,,A,H39>Jh8" + std::string(21, '0') + ",0"), Vdm("1,1,,A,H39>Jh<" + std::string(21, '0') + ",0")},
                 u"",
                 {}},
        LineCase{"a character outside the armour",
                 {Vdm(std::string("1,1,,A,") + std::string(kType1).substr(0, 27) + "X,0")},
                 u"",
                 {kType1Mmsi},
                 {},
                 Outcome{{}, {Cause::kPayloadCharacter}}}));

std::string TagBlock(const std::string& fields) { return "\\" + fields + NmeaChecksum("\\" + fields) + "\\"; }

// Built as the simulator builds them: one message of each kind that only
// "TYPES=ALL" decodes.
std::string Payload(std::initializer_list<std::pair<uint32_t, unsigned>> fields) {
  vf::sim::PayloadWriter w;
  for (const auto& [value, bits] : fields) w.Put(value, bits);
  return w.Armoured();
}
const std::string kType9 = Payload({{9, 6}, {0, 2}, {111232511, 30}, {300, 12}, {140, 10}, {0, 1}, {0, 28}, {0, 27},
                                    {0, 12}, {0, 40}});
const std::string kType19 =
    Payload({{19, 6}, {0, 2}, {338000003, 30}, {0, 40}, {0, 40}, {0, 40}, {0, 40}, {0, 40}, {0, 40}, {0, 34}});
const std::string kType21 =
    Payload({{21, 6}, {0, 2}, {992351000, 30}, {1, 5}, {0, 40}, {0, 40}, {0, 40}, {0, 40}, {0, 40}, {0, 29}});
const std::string kType27 = Payload({{27, 6}, {0, 2}, {206914217, 30}, {0, 58}});

INSTANTIATE_TEST_SUITE_P(
    Options, SentenceInput,
    testing::Values(
        LineCase{"TAGBLOCK=1 decodes a sentence behind a good tag block",
                 {TagBlock("s:2573135,c:1671620143") + kGood}, u"TAGBLOCK=1;", {kType1Mmsi}},
        LineCase{"TAGBLOCK=1 drops a tag block with a wrong checksum",
                 {"\\s:2573135,c:1671620143*00\\" + kGood}, u"TAGBLOCK=1;", {}, {Cause::kChecksum}},
        LineCase{"TAGBLOCK=1 with CRC=0 tests neither checksum",
                 {"\\s:2573135*00\\" + kBody + "*00"}, u"TAGBLOCK=1;CRC=0;", {kType1Mmsi}},
        LineCase{"TAGBLOCK=1 still tests the sentence's own checksum",
                 {TagBlock("s:2573135") + kBody + "*00"}, u"TAGBLOCK=1;", {}, {Cause::kChecksum}},
        LineCase{"TAGBLOCK=1 drops a tag block that never closes", {"\\s:2573135*12" + kGood}, u"TAGBLOCK=1;", {}, {Cause::kChecksum}},
        LineCase{"a tag block without TAGBLOCK fails the checksum", {TagBlock("s:1") + kGood}, u"", {}, {Cause::kChecksum},
                 Outcome{{kType1Mmsi}}},
        LineCase{"TAGBLOCK=0 turns tag blocks off", {TagBlock("s:1") + kGood}, u"TAGBLOCK=0", {}, {Cause::kChecksum}},
        LineCase{"OWNSHIP=1 takes VDO", {WithChecksum(std::string("!AIVDO,1,1,,A,") + kType1 + ",0")}, u"OWNSHIP=1",
                 {kType1Mmsi}},
        LineCase{"OWNSHIP=0 leaves VDO out", {WithChecksum(std::string("!AIVDO,1,1,,A,") + kType1 + ",0")},
                 u"OWNSHIP=0", {}, {Cause::kNotVdm}},
        LineCase{"types 9, 19, 21 and 27 without TYPES=ALL",
                 {Vdm("1,1,,A," + kType9 + ",0"), Vdm("1,1,,A," + kType19 + ",0"), Vdm("1,1,,A," + kType21 + ",0"),
                  Vdm("1,1,,A," + kType27 + ",0")},
                 u"", {}, std::vector<Cause>(4, Cause::kPayloadRejected)},
        LineCase{"types 9, 19, 21 and 27 with TYPES=ALL",
                 {Vdm("1,1,,A," + kType9 + ",0"), Vdm("1,1,,A," + kType19 + ",0"), Vdm("1,1,,A," + kType21 + ",0"),
                  Vdm("1,1,,A," + kType27 + ",0")},
                 u"CRC=1;TYPES=ALL;", {111232511, 338000003, 992351000, 206914217}}));

// The tag block's time stamps the record with TAGTIME=1, in seconds or in
// milliseconds; and an own-ship record says so in its contents.
TEST(SentenceInputOptions, TagTimesAndOwnShipMarkTheRecord) {
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  rig.SetOptions(u"TAGBLOCK=1;TAGTIME=1;OWNSHIP=1");
  rig.Feed((TagBlock("c:1671620143") + kGood));
  rig.Feed((TagBlock("s:x,c:1671620143250") + WithChecksum(std::string("!AIVDO,1,1,,A,") + kType1 + ",0")));
  rig.Feed((kGood));
  const auto records = sink.TakeAll();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]->m_dTime, 1671620143.0);
  EXPECT_EQ(records[0]->m_nContents, kContentsPosition);
  EXPECT_EQ(records[1]->m_dTime, 1671620143.25);
  EXPECT_EQ(records[1]->m_nContents, kContentsPosition | kContentsOwnShip);
  EXPECT_GT(records[2]->m_dTime, 1.7e9) << "no tag block: the arrival time";
}

// --- joining the sentences of multi-sentence messages -----------------------

using vf::nmea::FragmentStore;

struct Arrival {
  uint8_t count, number, sequenceId;
  std::string payload;
};

// Feeds the arrivals one by one, assembling after each as the receive loop
// does; returns the joined payloads in the order they were decoded.
std::vector<std::string> Feed(FragmentStore& store, const std::vector<Arrival>& arrivals) {
  std::vector<std::string> decoded;
  for (const Arrival& a : arrivals) {
    store.Append(a.count, a.number, a.sequenceId, a.payload);
    store.AssembleFragments([&](std::string_view payload) { decoded.emplace_back(payload); });
  }
  return decoded;
}

struct AssemblyCase {
  const char* what;
  std::vector<Arrival> arrivals;
  std::vector<std::string> decoded;
  std::vector<std::string> leftInStore;
};

void PrintTo(const AssemblyCase& c, std::ostream* out) { *out << c.what; }

class Assembly : public testing::TestWithParam<AssemblyCase> {};

TEST_P(Assembly, DecodesCompleteMessagesAndKeepsTheRest) {
  FragmentStore store;
  EXPECT_EQ(Feed(store, GetParam().arrivals), GetParam().decoded);
  std::vector<std::string> left;
  for (size_t i = 0; i < store.Size(); ++i) left.push_back(store[i].pszPayload);
  EXPECT_EQ(left, GetParam().leftInStore);
}

INSTANTIATE_TEST_SUITE_P(
    Fragments, Assembly,
    testing::Values(
        AssemblyCase{"single sentence", {{1, 1, 0, "single"}}, {"single"}, {}},
        AssemblyCase{"second sentence first", {{2, 2, 1, "-two"}, {2, 1, 1, "one"}}, {"one-two"}, {}},
        AssemblyCase{"interleaved ids",
                     {{2, 1, 3, "3a"}, {2, 1, 4, "4a"}, {2, 2, 3, "3b"}, {2, 2, 4, "4b"}},
                     {"3a3b", "4a4b"},
                     {}},
        AssemblyCase{"lost second sentence: the newer first sentence wins",
                     {{2, 1, 5, "old1"}, {2, 1, 5, "new1"}, {2, 2, 5, "new2"}},
                     {"new1new2"},
                     {"old1"}},
        AssemblyCase{"lost first sentence: the old second one completes the next message",
                     {{2, 2, 6, "old2"}, {2, 1, 6, "new1"}, {2, 2, 6, "new2"}},
                     {"new1old2"},
                     {"new2"}},
        AssemblyCase{"channels are not compared", {{2, 1, 7, "A"}, {2, 2, 7, "B"}}, {"AB"}, {}},
        AssemblyCase{"the count of sentence 1 rules", {{2, 2, 8, "b"}, {3, 3, 8, "c"}, {2, 1, 8, "a"}}, {"ab"}, {"c"}},
        AssemblyCase{"a number above the count is never used", {{1, 2, 0, "x"}, {1, 1, 0, "y"}}, {"y"}, {"x"}},
        AssemblyCase{"three sentences in any order",
                     {{3, 3, 9, "3"}, {3, 1, 9, "1"}, {3, 2, 9, "2"}},
                     {"123"},
                     {}},
        AssemblyCase{"an empty payload joins as nothing", {{2, 1, 2, ""}, {2, 2, 2, "tail"}}, {"tail"}, {}},
        AssemblyCase{"one message per id and run, in id order",
                     {{2, 2, 4, "4b"}, {2, 2, 1, "1b"}, {1, 1, 0, "zero"}, {2, 1, 1, "1a"}, {2, 1, 4, "4a"}},
                     {"zero", "1a1b", "4a4b"},
                     {}}));

// The default joining: in order, on one channel, one message at a time per
// sequence id and channel.
struct Sentence {
  uint8_t count, number;
  const char* sequenceId;  // "" when the field is empty
  char channel;
  std::string payload;
};

struct OrderedCase {
  const char* what;
  std::vector<Sentence> sentences;
  std::vector<std::string> decoded;
  size_t dropped;  // sentences that never became part of a message
  size_t waiting = 0;
};

void PrintTo(const OrderedCase& c, std::ostream* out) { *out << c.what; }

class OrderedJoin : public testing::TestWithParam<OrderedCase> {};

TEST_P(OrderedJoin, JoinsOnlyTheSentencesOfOneMessage) {
  vf::nmea::OrderedAssembly assembly;
  std::vector<std::string> decoded;
  size_t dropped = 0;
  for (const Sentence& s : GetParam().sentences) {
    vf::nmea::VdmFragment fragment{s.count, s.number, static_cast<uint8_t>(s.sequenceId[0] ? s.sequenceId[0] - '0' : 0),
                                   s.payload};
    fragment.hasSequenceId = s.sequenceId[0] != '\0';
    fragment.channel = s.channel;
    dropped += assembly.Take(fragment, 0, [&](std::string_view payload, int) { decoded.emplace_back(payload); });
  }
  EXPECT_EQ(decoded, GetParam().decoded);
  EXPECT_EQ(dropped, GetParam().dropped);
  EXPECT_EQ(assembly.Size(), GetParam().waiting);
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, OrderedJoin,
    testing::Values(
        OrderedCase{"single sentence", {{1, 1, "", 'A', "single"}}, {"single"}, 0},
        OrderedCase{"two in order", {{2, 1, "1", 'A', "one"}, {2, 2, "1", 'A', "-two"}}, {"one-two"}, 0},
        OrderedCase{"second sentence first: lost", {{2, 2, "1", 'A', "-two"}, {2, 1, "1", 'A', "one"}}, {}, 1, 1},
        OrderedCase{"interleaved on two channels",
                    {{2, 1, "3", 'A', "3a"}, {2, 1, "4", 'B', "4a"}, {2, 2, "3", 'A', "3b"}, {2, 2, "4", 'B', "4b"}},
                    {"3a3b", "4a4b"},
                    0},
        OrderedCase{"one id on two channels at once",
                    {{2, 1, "5", 'A', "A1"}, {2, 1, "5", 'B', "B1"}, {2, 2, "5", 'B', "B2"}, {2, 2, "5", 'A', "A2"}},
                    {"B1B2", "A1A2"},
                    0},
        OrderedCase{"two messages at once on one channel: neither",
                    {{2, 1, "3", 'A', "3a"}, {2, 1, "4", 'A', "4a"}, {2, 2, "3", 'A', "3b"}, {2, 2, "4", 'A', "4b"}},
                    {},
                    4},
        OrderedCase{"lost first sentence: the stale second one joins nothing",
                    {{2, 2, "6", 'A', "old2"}, {2, 1, "6", 'A', "new1"}, {2, 2, "6", 'A', "new2"}},
                    {"new1new2"},
                    1},
        OrderedCase{"lost second sentence: a new first sentence starts afresh",
                    {{2, 1, "5", 'A', "old1"}, {2, 1, "5", 'A', "new1"}, {2, 2, "5", 'A', "new2"}},
                    {"new1new2"},
                    1},
        OrderedCase{"a stale first sentence and an orphan of its id: any sentence between ends the first",
                    {{2, 1, "7", 'B', "X1"}, {1, 1, "", 'B', "lone"}, {2, 2, "7", 'B', "Y2"}},
                    {"lone"},
                    2},
        OrderedCase{"sentences of one message on two channels", {{2, 1, "7", 'A', "A"}, {2, 2, "7", 'B', "B"}}, {}, 1, 1},
        OrderedCase{"the count changes", {{2, 1, "8", 'A', "a"}, {3, 2, "8", 'A', "b"}}, {}, 2},
        OrderedCase{"a sentence left out of three", {{3, 1, "9", 'A', "1"}, {3, 3, "9", 'A', "3"}, {3, 2, "9", 'A', "2"}},
                    {},
                    3},
        OrderedCase{"an empty id is not id 0", {{2, 1, "", 'A', "a"}, {2, 2, "0", 'A', "b"}}, {}, 2},
        OrderedCase{"an empty id joins an empty id", {{2, 1, "", 'A', "a"}, {2, 2, "", 'A', "c"}}, {"ac"}, 0},
        OrderedCase{"more channels waiting than places: the oldest goes",
                    [] {
                      std::vector<Sentence> sentences;
                      for (char channel = 'a'; channel <= 'q'; ++channel) sentences.push_back({2, 1, "1", channel, {channel}});
                      sentences.push_back({2, 2, "1", 'a', "!"});  // its first sentence was pushed out
                      sentences.push_back({2, 2, "1", 'q', "!"});
                      return sentences;
                    }(),
                    {"q!"},
                    2,
                    15}));

TEST(FragmentStore, IsBoundedByEvictingTheOldest) {
  FragmentStore store(4);
  for (int i = 0; i < 10; ++i) store.Append(2, 1, static_cast<uint8_t>(i % 10), "p" + std::to_string(i));
  ASSERT_EQ(store.Size(), 4u);
  EXPECT_EQ(store[0].pszPayload, "p6");
  EXPECT_EQ(store[3].pszPayload, "p9");
  std::vector<std::string> decoded;
  store.Append(2, 2, 9, "-end");
  store.AssembleFragments([&](std::string_view payload) { decoded.emplace_back(payload); });
  EXPECT_EQ(decoded, std::vector<std::string>{"p9-end"}) << "fragments still stored keep the matching rules";
}

// With "FRAGMENTAGE", the default joining: a first sentence whose second
// has not come within the age is dropped and counted; its late second then
// joins nothing, and a first sentence on another channel waits on.
TEST(OrderedJoinAge, AFirstSentenceWaitsNoLongerThanItsAge) {
  vf::nmea::OrderedAssembly assembly;
  std::vector<std::string> decoded;
  const auto take = [&](uint8_t number, char channel, std::string_view payload, uint32_t arrivalMs) {
    vf::nmea::VdmFragment fragment{2, number, 4, payload};
    fragment.hasSequenceId = true;
    fragment.channel = channel;
    return assembly.Take(fragment, arrivalMs, [&](std::string_view joined, int) { decoded.emplace_back(joined); });
  };
  take(1, 'A', "old1", 1000);
  take(1, 'B', "b1", 3500);
  EXPECT_EQ(assembly.DropOlderThan(4000, 3000), 0u) << "3 s old is not older than 3 s";
  EXPECT_EQ(assembly.DropOlderThan(4001, 3000), 1u);
  EXPECT_EQ(assembly.Size(), 1u);
  EXPECT_EQ(take(2, 'A', "late2", 4002), 1u) << "nothing waits for it any more";
  EXPECT_EQ(take(2, 'B', "b2", 4002), 0u);
  EXPECT_EQ(decoded, std::vector<std::string>{"b1b2"});
}

// With "FRAGMENTAGE": the lost-first-sentence case above, but the old second
// sentence has aged out before the next message begins.
TEST(FragmentStore, FragmentsOlderThanTheirAgeAreDropped) {
  FragmentStore store;
  std::vector<std::string> decoded;
  const auto decode = [&](std::string_view payload) { decoded.emplace_back(payload); };
  store.Append(2, 2, 6, "old2", 1000);
  store.Append(2, 1, 3, "kept", 4000);
  EXPECT_EQ(store.DropOlderThan(4000, 3000), 0u) << "3 s old is not older than 3 s";
  ASSERT_EQ(store.DropOlderThan(4001, 3000), 1u);
  ASSERT_EQ(store.Size(), 1u);
  store.Append(2, 1, 6, "new1", 4001);
  store.AssembleFragments(decode);
  EXPECT_TRUE(decoded.empty());
  store.Append(2, 2, 6, "new2", 4002);
  store.Append(2, 2, 3, "+", 4002);
  store.AssembleFragments(decode);
  EXPECT_EQ(decoded, (std::vector<std::string>{"kept+", "new1new2"}));
  store.Append(2, 1, 0, "wrap", 0xFFFFFF00u);  // the tick count wraps: ages are differences
  EXPECT_EQ(store.DropOlderThan(0x100u, 3000), 0u);
}

}  // namespace
