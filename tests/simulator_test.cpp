// The traffic simulator is the test bench of the end-to-end tests and the
// benchmarks, so it is held to what it claims: its sentences decode, through
// the plug-in, to the stations it simulated, where it placed them; a faulted
// run loses only the messages its faults spoiled; its command line says what
// is wrong. (The program itself serves the Wine, soak and fuzz scripts.)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "feed.h"
#include "line_output.h"
#include "sim_options.h"
#include "support/child_process.h"
#include "support/faulted_feed.h"
#include "support/record_sink.h"
#include "support/sentence_rig.h"
#include "traffic.h"

namespace {

using vf::sim::Fault;
using vf::sim::Transmission;
using vf::sim::Vessel;

constexpr double kPositionResolution = 1.0 / 600000;  // a ten-thousandth of a minute

uint16_t ContentsOf(const Transmission& transmission) {
  switch (transmission.messageType) {
    case 4: return kContentsBaseStation;
    case 5: return kContentsStaticVoyage;
    case 18: return kContentsClassBPosition;
    case 24: return transmission.part == 0 ? kContentsStaticPartA : kContentsStaticPartB;
    default: return kContentsPosition;
  }
}

int32_t ClassOf(const Vessel& vessel) {
  switch (vessel.kind) {
    case vf::sim::StationKind::kClassA: return kClassA;
    case vf::sim::StationKind::kClassB: return kClassB;
    case vf::sim::StationKind::kBaseStation: break;
  }
  return kClassBaseStation;
}

// The record of one transmission names its station, its kind and its class,
// and where the station was.
void ExpectDescribes(const CRawDataAis& record, const Transmission& transmission) {
  const Vessel& vessel = transmission.snapshot;
  EXPECT_EQ(record.m_nMMSI, vessel.mmsi);
  EXPECT_EQ(record.m_nContents, ContentsOf(transmission));
  EXPECT_EQ(record.m_nClass, ClassOf(vessel));
  if (transmission.messageType == 5 || transmission.messageType == 24) return;
  EXPECT_NEAR(record.m_dLatitude, vessel.latitude, kPositionResolution);
  EXPECT_NEAR(record.m_dLongitude, vessel.longitude, kPositionResolution);
}

TEST(Simulator, TrafficDecodesToTheSimulatedStations) {
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  vf::sim::Traffic traffic(40, 11);
  std::vector<unsigned> seenTypes(25, 0);
  for (int i = 0; i < 4000; ++i) {
    const Transmission transmission = traffic.Next();
    for (const std::string& sentence : transmission.sentences) {
      rig.Feed(sentence);
    }
    const auto records = sink.TakeAll();
    ASSERT_EQ(records.size(), 1u) << "transmission " << i << ": " << transmission.sentences.front();
    SCOPED_TRACE(transmission.sentences.front());
    ExpectDescribes(*records.front(), transmission);
    ++seenTypes[transmission.messageType];
  }
  for (unsigned type : {1, 2, 3, 4, 5, 18, 24}) EXPECT_GT(seenTypes[type], 0u) << "message type " << type;
}

vf::sim::FeedSettings FaultedFeed() { return vf::test::FaultedFeed(5, 3000, 0.06); }

using vf::test::CapturedLines;

// Every fault a radio link has, at 6 % each: by default every message sent
// whole arrives as its record, in order, and no damaged one makes a record;
// gpsd's decoder, given the same lines, keeps no message that the plug-in
// loses. With "LITERAL=1" sentences of different messages are joined.
class FaultedRun : public testing::Test {
 protected:
  void SetUp() override { Generate(FaultedFeed()); }

  void Generate(const vf::sim::FeedSettings& settings) {
    m_output = CapturedLines();
    m_sent.clear();
    std::vector<unsigned> faultsSeen(vf::sim::kFaultKinds, 0);
    const auto keepUnspoiled = [&](const Transmission& transmission, std::optional<Fault> fault, bool spoiled) {
      if (fault) ++faultsSeen[static_cast<size_t>(*fault)];
      if (!spoiled) m_sent.push_back(transmission);
    };
    const std::atomic<bool> stop{false};
    const vf::sim::FeedTotals totals = vf::sim::RunFeed(settings, m_output, stop, keepUnspoiled);
    ASSERT_EQ(totals.transmissions, 3000u);
    for (Fault fault : vf::sim::kAllFaults) {
      const size_t kind = static_cast<size_t>(fault);
      if (settings.faults.probability[kind] > 0) {
        EXPECT_GT(faultsSeen[kind], 10u) << FaultName(fault);
      }
    }
    EXPECT_EQ(totals.transmissions - totals.spoiled, m_sent.size());
  }

  std::vector<vf::test::Record> Decode(const char16_t* options) {
    vf::test::RecordSink sink;
    vf::test::SentenceRig rig(sink.Window());
    rig.SetOptions(options);
    for (const std::string& line : m_output.Lines()) rig.Feed(line);
    return sink.TakeAll();
  }

  CapturedLines m_output;
  std::vector<Transmission> m_sent;  // whole, in the order their messages complete
};

TEST_F(FaultedRun, EveryMessageSentWholeArrivesAndNoOther) {
  const auto records = Decode(u"");
  ASSERT_EQ(records.size(), m_sent.size());
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(m_sent[i].sentences.front());
    ExpectDescribes(*records[i], m_sent[i]);
  }
}

// gpsd joins a channel's first sentence with the next sentence numbered 2
// on that channel whatever its sequence id, where the plug-in also asks for
// the same id: so the two are compared on the faults that leave no first
// sentence waiting for a second one that never comes.
TEST_F(FaultedRun, GpsdKeepsNoMessageThePluginLoses) {
  if (std::system("command -v gpsdecode >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsdecode (gpsd-clients) missing";
  vf::sim::FeedSettings settings = FaultedFeed();
  for (Fault leavesAFirstSentence : {Fault::kBadChecksum, Fault::kTruncated, Fault::kLostFragment, Fault::kSplitChannels}) {
    settings.faults.probability[static_cast<size_t>(leavesAFirstSentence)] = 0;
  }
  Generate(settings);
  const std::string path = testing::TempDir() + "faulted.nmea";
  {
    std::ofstream file(path, std::ios::binary);
    for (const std::string& line : m_output.Lines()) file << line << "\r\n";
  }
  std::vector<uint32_t> theirs;
  FILE* pipe = popen(("gpsdecode -j < '" + path + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    const char* mmsi = std::strstr(buffer, "\"mmsi\":");
    if (mmsi != nullptr && std::strstr(buffer, "\"type\":24,") == nullptr) {
      theirs.push_back(static_cast<uint32_t>(std::strtoul(mmsi + 7, nullptr, 10)));
    }
  }
  pclose(pipe);
  std::remove(path.c_str());
  // gpsd pairs type 24 parts in a cache of its own and prints a pair as one
  // line, or none: type 24 is left out on both sides (the recordings'
  // conformance test compares its fields).
  std::vector<uint32_t> ours;
  for (const auto& record : Decode(u"")) {
    if ((record->m_nContents & (kContentsStaticPartA | kContentsStaticPartB)) == 0) ours.push_back(record->m_nMMSI);
  }
  // Every message gpsd keeps arrives here too, in the same order; the few
  // more that arrive here are right (the test above holds each to what was
  // sent): gpsd also drops a message when an orphan of the other channel
  // comes between its sentences.
  size_t at = 0;
  for (const uint32_t mmsi : theirs) {
    while (at < ours.size() && ours[at] != mmsi) ++at;
    ASSERT_LT(at, ours.size()) << "gpsd kept a message of " << mmsi << " that the plug-in lost";
    ++at;
  }
  EXPECT_LE(ours.size() - theirs.size(), ours.size() / 100) << "more than 1 % kept by the plug-in alone";
}

// A type 5 record's destination is in its second sentence, the station in
// its first: a record whose destination is not its station's was glued.
TEST_F(FaultedRun, LiterallyJoinedSentencesMakeRecordsOfNoMessageSent) {
  size_t glued = 0;
  for (const auto& record : Decode(u"LITERAL=1")) {
    if (record->m_nContents != kContentsStaticVoyage) continue;
    const auto station = std::find_if(m_sent.begin(), m_sent.end(),
                                      [&](const Transmission& t) { return t.snapshot.mmsi == record->m_nMMSI; });
    ASSERT_NE(station, m_sent.end());
    const std::string& destination = station->snapshot.destination;
    glued += record->m_strDestination.View().substr(0, destination.size()) !=
                     std::u16string(destination.begin(), destination.end())
                 ? 1
                 : 0;
  }
  EXPECT_GT(glued, 0u) << "orphans and interleaved sentences meet other messages";
}

// --- the command line -------------------------------------------------------

// A feed on a TCP server that no client joins: its totals, or none when it
// has not ended within 10 s (it is then stopped, so that the test can say so).
std::optional<vf::sim::FeedTotals> RunWithoutClient(const vf::sim::FeedSettings& settings) {
  std::string error;
  const auto server = vf::sim::OpenTcpServer("127.0.0.1", 0, error);
  EXPECT_TRUE(server) << error;
  if (!server) return std::nullopt;
  std::atomic<bool> stop{false};
  auto run = std::async(std::launch::async, [&] { return vf::sim::RunFeed(settings, *server, stop); });
  const bool ended = run.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  stop = true;
  const vf::sim::FeedTotals totals = run.get();
  return ended ? std::optional(totals) : std::nullopt;
}

// A TCP feed that no client ever joins still ends when its time is up:
// the wait for a client is one of the run's waits.
TEST(Simulator, ADurationEndsARunThatNoClientJoins) {
  vf::sim::FeedSettings settings;
  settings.durationSeconds = 0.2;
  const auto totals = RunWithoutClient(settings);
  ASSERT_TRUE(totals) << "the run did not end";
  EXPECT_EQ(totals->lines, 0u);
}

// A counted run that nobody reads ends when its reader wait is over: no TCP
// client ever comes, or a terminal's buffer fills and nobody empties it.
TEST(Simulator, ACountedRunEndsWhenNobodyReadsWithinTheReaderWait) {
  vf::sim::FeedSettings settings;
  settings.transmissions = 5;
  settings.readerWaitSeconds = 0.2;
  const auto totals = RunWithoutClient(settings);
  ASSERT_TRUE(totals) << "the run did not end";
  EXPECT_TRUE(totals->readerAway);
  EXPECT_EQ(totals->lines, 0u);

  const vf::test::Finished program = vf::test::RunToEnd(
      {"/bin/sh", "-c", std::string(AIS_SIM_PATH) + " --pty --count 1000000 --rate 10000000 --reader-wait 0.2 2>&1"});
  EXPECT_EQ(program.exitCode, 3);
  EXPECT_NE(program.output.find("ais-sim: nobody took the feed at /dev/pts/"), std::string::npos) << program.output;
  EXPECT_NE(program.output.find(" for 0.2 s; stopped (start the receiver sooner, or give a longer --reader-wait)"),
            std::string::npos)
      << program.output;
}

// Only a send that waits counts against the reader wait, not the pause
// between transmissions: a slow feed to a reader that keeps up runs to its count.
TEST(Simulator, APauseBetweenTransmissionsIsNotAReaderAway) {
  vf::sim::FeedSettings settings;
  settings.transmissions = 4;
  settings.linesPerSecond = 10;
  settings.readerWaitSeconds = 0.05;
  vf::test::CapturedLines output;
  std::atomic<bool> stop{false};
  const vf::sim::FeedTotals totals = vf::sim::RunFeed(settings, output, stop);
  EXPECT_FALSE(totals.readerAway);
  EXPECT_EQ(totals.transmissions, 4u);
}

TEST(SimulatorOptions, GoodCommandLines) {
  using Output = vf::sim::OutputKind;
  const std::tuple<std::vector<std::string>, Output, std::string, uint16_t> cases[] = {
      {{}, Output::kStdout, "127.0.0.1", 0},
      {{"--tcp", "10110"}, Output::kTcpServer, "127.0.0.1", 10110},
      {{"--tcp", "0.0.0.0:2000"}, Output::kTcpServer, "0.0.0.0", 2000},
      {{"--udp", "192.168.1.255:10110"}, Output::kUdp, "192.168.1.255", 10110},
      {{"--pty"}, Output::kPseudoTerminal, "127.0.0.1", 0},
      {{"--tcp", "5", "--stdout"}, Output::kStdout, "127.0.0.1", 5},
  };
  for (const auto& [arguments, output, address, port] : cases) {
    std::string error;
    const auto options = vf::sim::ParseSimOptions(arguments, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(std::tie(options->output, options->address, options->port), std::tie(output, address, port));
  }

  std::string error;
  const auto options = vf::sim::ParseSimOptions({"--pty", "/tmp/com5", "--vessels", "7", "--seed", "0", "--rate",
                                                 "2500", "--duration", "1.5", "--count", "9", "--faults", "0.05",
                                                 "--fault", "lose=0.25"},
                                                error);
  ASSERT_TRUE(options) << error;
  const vf::sim::FeedSettings& feed = options->feed;
  EXPECT_EQ(std::tie(options->linkPath, feed.fleetSize, feed.seed, feed.linesPerSecond, feed.durationSeconds,
                     feed.transmissions),
            std::make_tuple(std::string("/tmp/com5"), size_t{7}, uint32_t{0}, 2500.0, 1.5, uint64_t{9}));
  EXPECT_EQ(feed.faults.probability[static_cast<size_t>(Fault::kLostFragment)], 0.25);
  EXPECT_EQ(feed.faults.probability[static_cast<size_t>(Fault::kGarbage)], 0.05);

  // A counted run waits a minute for a reader unless told; other runs wait for ever.
  const std::pair<std::vector<std::string>, double> readerWaits[] = {
      {{"--tcp", "10110"}, 0},
      {{"--tcp", "10110", "--count", "5"}, vf::sim::kCountedReaderWaitSeconds},
      {{"--count", "5", "--reader-wait", "2.5"}, 2.5},
      {{"--reader-wait", "7"}, 7},
  };
  for (const auto& [arguments, seconds] : readerWaits) {
    const auto parsed = vf::sim::ParseSimOptions(arguments, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->feed.readerWaitSeconds, seconds) << arguments.back();
  }
}

// The simulator's own forms; the number checks it shares with the host are
// tried in the host's table.
TEST(SimulatorOptions, BadCommandLinesSayWhatIsWrong) {
  const std::string kinds =
      "expected KIND=P with KIND checksum, truncate, lose, garbage, overlong, lose-first, channels, short or interleave "
      "and P from 0 to 1";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--tcp", "0"}, "--tcp: expected [HOST:]PORT with a port from 1 to 65535, not '0'"},
      {{"--udp", "host:65536"}, "--udp: expected [HOST:]PORT with a port from 1 to 65535, not 'host:65536'"},
      {{"--udp", ":10110"}, "--udp: expected [HOST:]PORT with a port from 1 to 65535, not ':10110'"},
      {{"--seed", "-1"}, "--seed: expected a whole number from 0 to 4294967295, not '-1' (see --help)"},
      {{"--rate", "inf"}, "--rate: expected a positive number of sentences per second, not 'inf' (see --help)"},
      {{"--fault", "bitflip=0.1"}, "--fault: " + kinds + ", not 'bitflip=0.1'"},
      {{"--fault", "lose"}, "--fault: " + kinds + ", not 'lose'"},
      {{"--fault", "lose=1.5"}, "--fault: " + kinds + ", not 'lose=1.5'"},
      {{"--faults", "0.3"}, "the fault shares add up to more than 1"},
  };
  for (const auto& [arguments, message] : cases) {
    std::string error;
    EXPECT_FALSE(vf::sim::ParseSimOptions(arguments, error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
