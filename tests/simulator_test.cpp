// The traffic simulator is the test bench of the end-to-end tests and the
// benchmarks, so it is held to what it claims: its sentences decode, through
// the plug-in, to the stations it simulated, where it placed them; a faulted
// run loses only the messages its faults spoiled; its command line says what
// is wrong. (The program itself serves the Wine, soak and fuzz scripts.)
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "feed.h"
#include "sim_options.h"
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
      rig.Feed(std::u16string(sentence.begin(), sentence.end()));
    }
    const auto records = sink.TakeAll();
    ASSERT_EQ(records.size(), 1u) << "transmission " << i << ": " << transmission.sentences.front();
    SCOPED_TRACE(transmission.sentences.front());
    ExpectDescribes(*records.front(), transmission);
    ++seenTypes[transmission.messageType];
  }
  for (unsigned type : {1, 2, 3, 4, 5, 18, 24}) EXPECT_GT(seenTypes[type], 0u) << "message type " << type;
}

// Every line sent, kept for the test.
class CapturedLines : public vf::sim::LineOutput {
 public:
  bool Send(const std::vector<std::string>& lines, const std::atomic<bool>&) override {
    m_lines.insert(m_lines.end(), lines.begin(), lines.end());
    return true;
  }
  std::string Describe() const override { return "captured lines"; }
  const std::vector<std::string>& Lines() const { return m_lines; }

 private:
  std::vector<std::string> m_lines;
};

vf::sim::FeedSettings FaultedFeed() {
  vf::sim::FeedSettings settings;
  settings.fleetSize = 30;
  settings.seed = 5;
  settings.linesPerSecond = 1e7;
  settings.transmissions = 3000;
  for (double& chance : settings.faults.probability) chance = 0.06;
  return settings;
}

using Message = std::pair<uint32_t, uint16_t>;  // MMSI and record contents

TEST(Simulator, EveryFaultKindLosesOnlyTheMessagesItSpoils) {
  std::vector<Message> expected;
  std::vector<unsigned> faultsSeen(vf::sim::kFaultKinds, 0);
  const auto keepUnspoiled = [&](const Transmission& transmission, std::optional<Fault> fault) {
    if (fault) ++faultsSeen[static_cast<size_t>(*fault)];
    if (!fault || !vf::sim::LosesMessage(*fault)) expected.emplace_back(transmission.snapshot.mmsi, ContentsOf(transmission));
  };
  CapturedLines output;
  const std::atomic<bool> stop{false};
  const vf::sim::FeedTotals totals = vf::sim::RunFeed(FaultedFeed(), output, stop, keepUnspoiled);
  ASSERT_EQ(totals.transmissions, 3000u);
  for (Fault fault : vf::sim::kAllFaults) EXPECT_GT(faultsSeen[static_cast<size_t>(fault)], 50u) << FaultName(fault);
  EXPECT_EQ(totals.transmissions - totals.spoiled, expected.size());

  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  for (const std::string& line : output.Lines()) rig.Feed(std::u16string(line.begin(), line.end()));
  std::vector<Message> delivered;
  for (const auto& record : sink.TakeAll()) delivered.emplace_back(record->m_nMMSI, record->m_nContents);
  EXPECT_EQ(delivered, expected);
}

// --- the command line -------------------------------------------------------

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
                                                 "2500", "--duration", "1.5", "--count", "9", "--faults", "0.1",
                                                 "--fault", "lose=0.25"},
                                                error);
  ASSERT_TRUE(options) << error;
  const vf::sim::FeedSettings& feed = options->feed;
  EXPECT_EQ(std::tie(options->linkPath, feed.fleetSize, feed.seed, feed.linesPerSecond, feed.durationSeconds,
                     feed.transmissions),
            std::make_tuple(std::string("/tmp/com5"), size_t{7}, uint32_t{0}, 2500.0, 1.5, uint64_t{9}));
  EXPECT_EQ(feed.faults.probability[static_cast<size_t>(Fault::kLostFragment)], 0.25);
  EXPECT_EQ(feed.faults.probability[static_cast<size_t>(Fault::kGarbage)], 0.1);
}

// The simulator's own forms; the number checks it shares with the host are
// tried in the host's table.
TEST(SimulatorOptions, BadCommandLinesSayWhatIsWrong) {
  const std::string kinds = "expected KIND=P with KIND checksum, truncate, lose, garbage or overlong and P from 0 to 1";
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
