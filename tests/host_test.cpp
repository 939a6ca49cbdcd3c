// The reference host: its command line, how it shows records, and the
// program itself run as a user runs it, against its built-in simulator, a
// link that cannot open, and Ctrl-C.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host_options.h"
#include "record_format.h"
#include "record_tally.h"
#include "support/host_program.h"
#include "support/loopback.h"
#include "support/serial_loop.h"
#include "support/wait_until.h"
#include "trace_view.h"

namespace {

using std::chrono::milliseconds;
using vf::host::HostOptions;
using vf::test::HostProgram;

// --- the command line -------------------------------------------------------

std::optional<HostOptions> Parse(std::vector<std::string> arguments, std::string& error) {
  arguments.insert(arguments.begin(), {"--plugin", "AIS.so"});
  return vf::host::ParseHostOptions(arguments, error);
}

// The configuration fields a receiver option sets; the others keep the
// record's defaults.
struct Receiver {
  bool simulator = false;  // the host serves its built-in simulator
  int32_t link = kConnectionSerial, socket = kSocketTcp, com = 0, speed = 9600, format = kFormatN81, port = 0,
          remotePort = 0;
  std::u16string host = {}, options = {};
  auto Fields() const { return std::tie(simulator, link, socket, com, speed, format, port, remotePort, host, options); }
};

TEST(HostOptions, ReceiverOptionsBuildTheConfiguration) {
  constexpr int32_t kIp = kConnectionTcpIp, kUdp = kSocketUdp;
  const std::pair<std::vector<std::string>, Receiver> cases[] = {
      {{}, {.simulator = true}},
      {{"--tcp", "ais.example.org", "--port", "10110"}, {.link = kIp, .port = 10110, .host = u"ais.example.org"}},
      {{"--udp", "--port", "10110", "--crc", "off"},
       {.link = kIp, .socket = kUdp, .port = 10110, .options = u"CRC=0;"}},
      {{"--udp", "--port", "2000", "--host", "10.0.0.5", "--remote-port", "2001"},
       {.link = kIp, .socket = kUdp, .port = 2000, .remotePort = 2001, .host = u"10.0.0.5"}},
      {{"--serial", "--serial-port", "3", "--speed", "4800", "--format", "1"}, {.com = 3, .speed = 4800, .format = 1}},
      {{"--serial"}, {.speed = 38400}},
      {{"--serial", "COM7"}, {.com = 7, .speed = 38400}},
      {{"--tcp", "127.0.0.1:10110"}, {.link = kIp, .port = 10110, .host = u"127.0.0.1"}},
      {{"tcp://ais.example.org:5631"}, {.link = kIp, .port = 5631, .host = u"ais.example.org"}},
      {{"udp://:10110"}, {.link = kIp, .socket = kUdp, .port = 10110}},
      {{"--udp", "20160"}, {.link = kIp, .socket = kUdp, .port = 20160}},
      {{"udp://20160"}, {.link = kIp, .socket = kUdp, .port = 20160}},
      {{"--options", "TYPES=ALL", "--options", "OWNSHIP=1;", "tcp://h:1"},
       {.link = kIp, .port = 1, .host = u"h", .options = u"TYPES=ALL;OWNSHIP=1;"}},
      {{"--udp", "10.0.0.5:2000"}, {.link = kIp, .socket = kUdp, .port = 2000, .host = u"10.0.0.5"}},
      {{"--udp", "--port", "2000", "--options", "TYPES=ALL;UDPLINES=1", "--crc", "on"},
       {.link = kIp, .socket = kUdp, .port = 2000, .options = u"TYPES=ALL;UDPLINES=1;CRC=1;"}},
      // The last receiver named wins; what the others gave stays.
      {{"--tcp", "ais.example.org:5631", "--serial", "COM7"},
       {.com = 7, .speed = 38400, .port = 5631, .host = u"ais.example.org"}},
  };
  for (const auto& [arguments, expected] : cases) {
    std::string error;
    const auto options = Parse(arguments, error);
    ASSERT_TRUE(options) << error;
    CCfgDevice config;
    vf::host::ApplyHostOptions(*options, config);
    const Receiver built{vf::host::UsesBuiltInSimulator(*options), config.m_nConnectionType, config.m_nSocketType,
                         config.m_nSerialPort, config.m_nSerialSpeed, config.m_nSerialFormat, config.m_nIpPort,
                         config.m_nRemoteIpPort, std::u16string(config.m_strHostAddress.View()),
                         std::u16string(config.m_strOptions.View())};
    EXPECT_TRUE(built.Fields() == expected.Fields()) << testing::PrintToString(arguments);
  }
}

TEST(HostOptions, OutputAndRunOptions) {
  std::string error;
  const auto options =
      Parse({"--json", "--quiet", "--monitor", "--duration", "2.5", "--device-id", "-7", "--time-offset", "250"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->json && !options->gpsdJson && options->quiet && options->monitor);
  EXPECT_EQ(options->durationSeconds, 2.5);
  EXPECT_TRUE(vf::host::UsesBuiltInSimulator(*options));
  const auto gpsd = Parse({"--json", "gpsd", "--quiet"}, error);
  ASSERT_TRUE(gpsd) << error;
  EXPECT_TRUE(gpsd->json && gpsd->gpsdJson && gpsd->quiet);
  // A receiver after --json is not its form.
  const auto json = Parse({"--json", "tcp://ais.example.org:5631"}, error);
  ASSERT_TRUE(json) << error;
  EXPECT_TRUE(json->json && !json->gpsdJson && json->ipPort == 5631);
  // Showing the dialog or only reporting the record needs no simulator.
  for (const char* option : {"--configure", "--no-start"}) {
    const auto without = Parse({option}, error);
    ASSERT_TRUE(without) << error;
    EXPECT_FALSE(vf::host::UsesBuiltInSimulator(*without)) << option;
    EXPECT_FALSE(vf::host::ReadsStandardInput(*without, false)) << option;
  }
  // With nothing named, standard input is read unless it is a terminal or
  // the simulator is asked for; a receiver named is read whatever input is.
  const struct {
    std::vector<std::string> arguments;
    bool terminal, simulator, standardInput;
  } feeds[] = {
      {{}, true, true, false},
      {{}, false, false, true},
      {{"--simulate"}, false, true, false},
      {{"--vessels", "8"}, false, true, false},
      {{"--sim-rate", "50"}, false, true, false},
      {{"--tcp", "127.0.0.1:10110"}, false, false, false},
      {{"--file", "/dev/null"}, false, false, false},
  };
  for (const auto& feed : feeds) {
    const auto parsed = Parse(feed.arguments, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(vf::host::UsesBuiltInSimulator(*parsed, feed.terminal), feed.simulator)
        << testing::PrintToString(feed.arguments) << feed.terminal;
    EXPECT_EQ(vf::host::ReadsStandardInput(*parsed, feed.terminal), feed.standardInput)
        << testing::PrintToString(feed.arguments) << feed.terminal;
  }
  CCfgDevice config;
  vf::host::ApplyHostOptions(*options, config);
  EXPECT_EQ(config.m_nDeviceId, -7);
  EXPECT_EQ(config.m_nTimeOffset, 250);
}

// One row per kind of mistake: the number checks are the same code for
// every option that takes a number.
TEST(HostOptions, BadOptionsSayWhatIsWrong) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--baud", "9600"}, "The following argument was not expected: --baud (see --help)"},
      {{"--tcp"}, "--tcp: 1 required HOST[:PORT] missing (see --help)"},
      {{"--tcp", "ais.example.org:99999"},
       "bad port in 'ais.example.org:99999': expected HOST:PORT with a port from 1 to 65535"},
      {{"ftp://ais.example.org:21"}, "unknown receiver 'ftp://': expected tcp://HOST:PORT, udp://[HOST]:PORT or a device"},
      {{"ais.example.org"}, "unknown receiver 'ais.example.org': expected tcp://HOST:PORT, udp://[HOST]:PORT or a device"},
      {{"--json=xml"}, "--json: xml not in {record,gpsd} (see --help)"},
      {{"--duration", "soon"}, "--duration: expected a number of seconds, not 'soon' (see --help)"},
      {{"--duration", "inf"}, "--duration: expected a number of seconds, not 'inf' (see --help)"},
      {{"--duration", "-1"}, "--duration: expected a number of seconds, not '-1' (see --help)"},
      {{"--format", "4"}, "--format: expected a whole number from 0 to 3, not '4' (see --help)"},
      {{"--serial-port", "COM3"}, "--serial-port: expected a whole number from 1 to 256, not 'COM3' (see --help)"},
      {{"--serial-port", "0"}, "--serial-port: expected a whole number from 1 to 256, not '0' (see --help)"},
      {{"--serial-port", "257"}, "--serial-port: expected a whole number from 1 to 256, not '257' (see --help)"},
      {{"--remote-port", "-1"}, "--remote-port: expected a whole number from 0 to 65535, not '-1' (see --help)"},
      {{"--sim-rate", "0"}, "--sim-rate: expected a positive number of sentences per second, not '0' (see --help)"},
      {{"--file", "/no-such-recording"}, "--file /no-such-recording: No such file or directory"},
      {{"udp://[fd00::5]:2000"}, "'fd00::5' is an IPv6 address; the plug-in's links open IPv4 addresses and host names only"},
      {{"tcp://ais.example.org"}, "tcp://ais.example.org has no port: give tcp://HOST:PORT"},
      {{"--file", "/"}, "--file /: Is a directory"},
  };
  for (const auto& [arguments, message] : cases) {
    std::string error;
    EXPECT_FALSE(Parse(arguments, error)) << message;
    EXPECT_EQ(error, message);
  }
  std::string error;
  EXPECT_FALSE(vf::host::ParseHostOptions({"--json"}, error));
  EXPECT_EQ(error, "--plugin PATH is required: the path of AIS.so");
  const auto help = vf::host::ParseHostOptions({"--help"}, error);
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->showHelp);
}

// --- how records are shown --------------------------------------------------

// As JSON with the record's field names and escaped text, or as a readable
// line that names the kind and its fields.
TEST(HostRecordFormat, JsonAndReadableLines) {
  CRawDataAis record;
  record.m_nContents = kContentsStaticVoyage;
  record.m_nClass = kClassA;
  record.m_nMMSI = 257001013;
  record.m_dTime = 1796606705.25;
  record.m_nShipType = 70;
  record.m_dToBow = 120;
  record.m_dToStern = 30;
  record.m_dToPort = 10;
  record.m_dToStarboard = 12;
  record.m_strCallSign = std::u16string(u"LAXY\0\0\0", 7);  // '@' padding arrives as NUL
  record.m_strName = u"SAY \"HI\"\\\tOK";
  record.m_strDestination = std::u16string(u"OSLO\0KIEL", 9);
  std::string json = "kept ";
  vf::host::AppendRecordJson(record, json);
  EXPECT_EQ(json, "kept "
            "{\"m_nType\":15,\"m_nContents\":4,\"m_nDeviceId\":0,\"m_dTime\":1796606705.250,\"m_dTimeOffset\":0.000,"
            "\"m_nMMSI\":257001013,\"m_nTimeReceived\":0,\"m_nClass\":1,\"m_nShipType\":70,"
            "\"m_dToBow\":120,\"m_dToStern\":30,\"m_dToPort\":10,\"m_dToStarboard\":12,"
            "\"m_strCallSign\":\"LAXY\",\"m_strName\":\"SAY \\\"HI\\\"\\\\\\u0009OK\",\"m_strDestination\":\"OSLO\"}");
  EXPECT_EQ(vf::host::DescribeRecord(record),
            "01:25:05.250 UTC  257001013  A     static and voyage  \"SAY \"HI\"\\\tOK\" call sign LAXY, type 70, "
            "150 x 22 m, to \"OSLO\"");
  CRawDataAis position;
  position.m_nContents = kContentsPosition;
  position.m_nClass = kClassA;
  position.m_nMMSI = 211000000;
  position.m_nNavStatus = 5;
  position.m_dLatitude = -33.8568;
  position.m_dLongitude = 151.2153;
  position.m_dSpeed = 0.1;
  position.m_dCourse = 359.9;
  EXPECT_EQ(vf::host::DescribeRecord(position),
            "00:00:00.000 UTC  211000000  A     position           33.8568000 S 151.2153000 E    0.1 kn 359.9 deg  "
            "moored");
}

// Each kind as the readable form shows it: named, with the fields it
// carries, and "n/a" where the message said "not available".
TEST(HostRecordFormat, EveryKindIsNamedAndNotAvailableIsSaid) {
  const struct {
    uint16_t contents;
    double lat, lon, speed, course;
    std::string shown;
  } cases[] = {
      {kContentsPosition, 91, 181, 102.3, 360,
       "position           position n/a                  n/a kn    n/a deg  under way using engine"},
      {kContentsSarAircraft, 60.5, 5.25, 1023, 360,
       "SAR aircraft       60.5000000 N   5.2500000 E    n/a kn    n/a deg"},
      {kContentsSarAircraft, 60.5, 5.25, 120, 90.5,
       "SAR aircraft       60.5000000 N   5.2500000 E  120.0 kn  90.5 deg"},
      {kContentsExtendedClassB, 60.5, 5.25, 3.5, 10,
       "class B extended   60.5000000 N   5.2500000 E    3.5 kn  10.0 deg  \"BUOY\", type 1, 10 x 4 m"},
      {kContentsAidToNavigation, 60.5, 5.25, 0, 0,
       "aid to navigation  60.5000000 N   5.2500000 E  \"BUOY\", aid type 1, 10 x 4 m"},
      {kContentsLongRange, 60.5, 5.25, 63, 511,
       "long-range         60.5000000 N   5.2500000 E    n/a kn    n/a deg  under way using engine"},
      {kContentsPosition | kContentsOwnShip, 60.5, 5.25, 0, 0,
       "position (own)     60.5000000 N   5.2500000 E    0.0 kn   0.0 deg  under way using engine"},
  };
  for (const auto& c : cases) {
    CRawDataAis record;
    record.m_nContents = c.contents;
    record.m_nClass = kClassA;
    record.m_nMMSI = 111232506;
    record.m_nNavStatus = 0;
    record.m_dLatitude = c.lat;
    record.m_dLongitude = c.lon;
    record.m_dSpeed = c.speed;
    record.m_dCourse = c.course;
    record.m_nShipType = 1;
    record.m_dToBow = record.m_dToStern = 5;
    record.m_dToPort = record.m_dToStarboard = 2;
    record.m_strName = u"BUOY";
    EXPECT_EQ(vf::host::DescribeRecord(record), "00:00:00.000 UTC  111232506  A     " + c.shown);
  }
}

TEST(HostRecordTally, CountsEachKindAndTheRecentRate) {
  const auto start = vf::host::RecordTally::Clock::now();
  vf::host::RecordTally tally(start);
  for (int i = 0; i < 30; ++i) tally.Add(kContentsPosition);
  for (int i = 0; i < 6; ++i) tally.Add(kContentsStaticPartB);
  tally.Add(kContentsBaseStation);
  EXPECT_EQ(tally.Summary(), "37 records: 30 position, 1 base station, 6 static part B");
  EXPECT_EQ(tally.StatusLine(kStatusRunning, start + milliseconds(500)),
            "plug-in running; 0.0/s; 37 records: 30 position, 1 base station, 6 static part B");
  EXPECT_EQ(tally.StatusLine(kStatusLinkFailed, start + milliseconds(2000)),
            "plug-in link failed (status 2); 18.5/s; 37 records: 30 position, 1 base station, 6 static part B");
  // Every kind is named, own-ship records among them: the kinds add up.
  vf::host::RecordTally more(start);
  for (const int contents : std::initializer_list<int>{kContentsSarAircraft, kContentsExtendedClassB,
                                                      kContentsAidToNavigation,
                             kContentsLongRange, kContentsPosition | kContentsOwnShip, 0}) {
    more.Add(static_cast<uint16_t>(contents));
  }
  EXPECT_EQ(more.Summary(), "6 records: 1 position, 1 SAR aircraft, 1 class B extended, 1 aid to navigation, 1 "
                            "long-range, 1 of an unknown kind (1 of them own ship)");
  EXPECT_EQ(vf::host::RecordTally().Summary(), "0 records");

  // What the plug-in said it could not post, counted from this run's start.
  const std::vector<std::string> entries = {
      "7|1.000|1|[AIS] 900 records could not be posted to the host window during this run.",
      "8|2.000|4|[AIS] Plugin started.",
      "9|3.000|1|[AIS] Records could not be posted to the host window: 1 so far. Its queue is full: ...",
      "10|4.000|32|[AIS] Posting records to the host window works again; 42 could not be posted.",
  };
  EXPECT_EQ(vf::host::NotPostedInThisRun(entries), 42);
  // Shown to a person: the time of day in UTC and the level's word.
  EXPECT_EQ(vf::host::ReadableEntry("12|1796608801.250|1|[AIS] Failed to open serial port: [COM250]."),
            "02:00:01.250 UTC error [AIS] Failed to open serial port: [COM250].");
  EXPECT_EQ(vf::host::ReadableEntry("13|1796608802.000|4|[AIS] Plugin started."), "02:00:02.000 UTC [AIS] Plugin started.");
  EXPECT_EQ(vf::host::ReadableEntry("not an entry"), "not an entry");
  vf::host::RecordTally other;
  other.SetNotPosted(42);
  EXPECT_EQ(other.Summary(), "0 records; 42 not posted");
}

// --- the program ------------------------------------------------------------

TEST(HostProgram, BuiltInSimulatorShowsDecodedVesselsAsJsonLines) {
  HostProgram host;
  host.Start({"--duration", "3", "--json", "--vessels", "8", "--counts-every", "1"});
  ASSERT_EQ(host.Wait(), 0) << host.Errors();
  const auto lines = host.OutputLines();
  // Every station is heard within two seconds: the base station, then ships.
  ASSERT_GE(lines.size(), 8u) << host.Errors();
  std::set<std::string> stations;
  for (const std::string& line : lines) {
    ASSERT_EQ(line.rfind("{\"m_nType\":15,\"m_nContents\":", 0), 0u) << line;
    ASSERT_EQ(line.back(), '}') << line;
    const size_t mmsi = line.find("\"m_nMMSI\":");
    ASSERT_NE(mmsi, std::string::npos) << line;
    stations.insert(line.substr(mmsi + 10, line.find(',', mmsi) - mmsi - 10));
  }
  EXPECT_EQ(stations.size(), 8u);
  EXPECT_TRUE(stations.count("2570001"));
  const std::string errors = host.Errors();
  EXPECT_NE(errors.find("the built-in simulator (8 stations) serves tcp://127.0.0.1:"), std::string::npos) << errors;
  // --counts-every 1: the counts once a second, also where no terminal shows the live line.
  size_t countLines = 0;
  for (size_t at = errors.find("\nplug-in running; "); at != std::string::npos; at = errors.find("\nplug-in running; ", at + 1)) {
    ++countLines;
  }
  EXPECT_GE(countLines, 2u) << errors;
  EXPECT_NE(errors.find("stopped: result 0, status 0; " + std::to_string(lines.size()) + " records: "),
            std::string::npos)
      << errors;
}

// A link that cannot open, one still opening when the time is up (the
// summary says what the plug-in traced in this run: how far the open came),
// and a bad option: each ends with its own exit code and says why.
TEST(HostProgram, AFailedRunExitsWithItsCodeAndSaysWhy) {
  const vf::test::RefusingTcpPort refusing;
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    std::vector<std::string> said;
    const char* notSaid;  // "": nothing left out
  } cases[] = {
      {{"--serial", "--serial-port", "250", "--duration", "20"},
       4,
       {"could not open its device link.", "[AIS] Failed to open serial port: [COM250]. Failed to open the selected "
                                           "serial port because it not longer exist.."},
       ""},
      {{"--tcp", "127.0.0.1", "--port", std::to_string(refusing.Port()), "--duration", "1", "--options",
        "REFUSED=0"},
       4,
       {"could not open its device link.", "[AIS] Opening TCP connection to: [127.0.0.1]"},
       "Failed to open"},
      // Refused: the plug-in fails at once, and the host says why in its words.
      {{"--tcp", "127.0.0.1", "--port", std::to_string(refusing.Port()), "--duration", "20"},
       4,
       {"refused the connection: nothing listens on that port. Start the receiver",
        "[AIS] Failed to open TCP connection: Failed to open TCP connection, timeout while trying to connect to "
        "host.."},
       ""},
      {{"--speed", "fast"}, 1, {"ais-host: --speed: expected a whole number from 1 to 2147483647, not 'fast'"}, "AIS"},
  };
  for (const auto& c : cases) {
    HostProgram host;
    host.Start(c.arguments);
    ASSERT_EQ(host.Wait(), c.exitCode) << host.Errors();
    const std::string errors = host.Errors();
    for (const std::string& text : c.said) EXPECT_NE(errors.find(text), std::string::npos) << text << "\n" << errors;
    EXPECT_TRUE(*c.notSaid == '\0' || errors.find(c.notSaid) == std::string::npos) << errors;
  }
}

// A trace file that cannot be written is said at the start, with what to
// do, not only by a drop-count line that never comes.
TEST(HostProgram, ATraceFileThatCannotBeWrittenIsSaidAtTheStart) {
  HostProgram host;
  std::filesystem::create_directories(host.Folder() / "VestraFold" / "Tracing" / "Trace_General.txt");
  host.Start({"--simulate", "--duration", "0.5", "--quiet"});
  EXPECT_EQ(host.Wait(), 0) << host.Errors();
  EXPECT_NE(host.Errors().find("ais-host: warning: the trace file "), std::string::npos) << host.Errors();
  EXPECT_NE(host.Errors().find("Trace_General.txt cannot be written"), std::string::npos) << host.Errors();
}

// A receiver named by its device path: the host maps it to a COM number.
// A hang-up stops the plug-in as cleanly as Ctrl-C.
TEST(HostProgram, ASerialDeviceIsNamedByItsPath) {
  vf::test::SerialLoop receiver(1);
  HostProgram host;
  host.Start({"--serial", receiver.DevicePath(), "--json", "--duration", "20"});
  const std::string sentence = "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15\r\n";
  // Bytes sent before the port is open and purged are lost: send until one arrives.
  EXPECT_TRUE(vf::test::WaitUntil(
      [&] {
        receiver.Send(sentence);
        return host.Output().find("\"m_nMMSI\":211000000") != std::string::npos;
      },
      milliseconds(15000)))
      << host.Errors();
  host.Interrupt(SIGHUP);  // its terminal closed: a stop as clean as Ctrl-C's
  EXPECT_EQ(host.Wait(), 0);
  for (const std::string& said : {"serial device " + receiver.DevicePath() + " is COM1 for the plug-in",
                                  std::string("interrupted, stopping the plug-in\nstopped: result 0, status 0;")}) {
    EXPECT_NE(host.Errors().find(said), std::string::npos) << host.Errors();
  }
}

// A recording, as gpsdecode reads one: every record printed, then the run
// ends by itself; at its own pace from tag-block times too. With COUNTS the
// host prints what the plug-in dropped.
TEST(HostProgram, ARecordingIsReplayedToItsEnd) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / ("host-recording-" + std::to_string(getpid()));
  {
    std::ofstream out(file);
    out << "# a comment line\n";
    for (int i = 0; i < 50; ++i) out << "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15\r\n";
    out << "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*16\r\n";  // a wrong checksum
    out << "\\c:1700000000*5F\\!AIVDM,1,1,,A,B39>Jh00=p59UhK=C62a7wv5j000,0*07\n";
    out << "\\c:1700000001*5E\\!AIVDM,1,1,,A,B39>Jh00=p59UhK=C62a7wv5j000,0*07\n";
  }
  // The last row reads it as standard input, with no option naming it.
  const std::vector<std::vector<std::string>> paces = {
      {"--file", file.string()}, {"--file", file.string(), "--rate", "500"}, {"--file", file.string(), "--own-pace"}, {}};
  for (const std::vector<std::string>& pace : paces) {
    HostProgram host;
    std::vector<std::string> arguments = {"--json", "--options", "TAGBLOCK=1;COUNTS=STOP"};
    arguments.insert(arguments.end(), pace.begin(), pace.end());
    host.Start(arguments, {}, false, {.file = pace.empty() ? file.string() : "/dev/null"});
    ASSERT_EQ(host.Wait(), 0) << host.Errors();
    EXPECT_EQ(host.OutputLines().size(), 52u) << host.Errors();
    EXPECT_NE(host.Errors().find("\nDropped during this run: 1 with a wrong checksum, 0 not VDM,"), std::string::npos)
        << host.Errors();
  }
  std::filesystem::remove(file);
}

// `nc receiver 10110 | ais-host --json gpsd`: with no receiver named and
// standard input not a terminal, the host reads it as gpsdecode does; lines
// are decoded as they come through the pipe, and the run ends when the input
// does. The end-of-input marker's record is not shown.
TEST(HostProgram, StandardInputIsDecodedAsItComes) {
  HostProgram host;
  host.Start({"--json", "gpsd"}, {}, true, {.piped = true});
  const std::string sentence = "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15\n";
  std::string printed;
  const auto readLines = [&](size_t count) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char chunk[4096];
    while (static_cast<size_t>(std::count(printed.begin(), printed.end(), '\n')) < count &&
           std::chrono::steady_clock::now() < end) {
      pollfd ready{host.OutputPipe(), POLLIN, 0};
      if (poll(&ready, 1, 100) != 1) continue;
      const ssize_t got = read(host.OutputPipe(), chunk, sizeof chunk);
      if (got <= 0) break;
      printed.append(chunk, static_cast<size_t>(got));
    }
    return static_cast<size_t>(std::count(printed.begin(), printed.end(), '\n'));
  };
  ASSERT_EQ(write(host.InputPipe(), (sentence + sentence + sentence).data(), 3 * sentence.size()),
            static_cast<ssize_t>(3 * sentence.size()));
  EXPECT_EQ(readLines(3), 3u) << "records while the input stays open\n" << host.Errors();
  ASSERT_EQ(write(host.InputPipe(), sentence.data(), sentence.size()), static_cast<ssize_t>(sentence.size()));
  host.CloseInputPipe();
  EXPECT_EQ(host.Wait(milliseconds(10000)), 0) << host.Errors();
  EXPECT_EQ(readLines(5), 4u) << printed;
  EXPECT_EQ(printed.find("1073741823"), std::string::npos) << printed;
  EXPECT_NE(host.Errors().find("standard input is served on tcp://127.0.0.1:"), std::string::npos) << host.Errors();
}

// `ais-host --json | head -3`: the reader goes, and so does the host.
TEST(HostProgram, AClosedOutputEndsTheRun) {
  HostProgram host;
  host.Start({"--json", "--simulate"}, {}, true);
  size_t lines = 0;
  char chunk[256];
  for (ssize_t got; lines < 3 && (got = read(host.OutputPipe(), chunk, sizeof chunk)) > 0;) {
    lines += static_cast<size_t>(std::count(chunk, chunk + got, '\n'));
  }
  ASSERT_GE(lines, 3u);
  host.CloseOutputPipe();
  EXPECT_EQ(host.Wait(milliseconds(10000)), 0) << host.Errors();
}

// A receiver at full speed into a host whose output is a slow pipe: the
// window's queue fills, the plug-in waits for room and TCP holds the rest,
// so every record arrives.
TEST(HostProgram, AtFullSpeedIntoASlowPipeNoRecordIsLost) {
  constexpr size_t kSentences = 30000;
  vf::test::TcpServer receiver;
  HostProgram host;
  host.Start({"--tcp", "127.0.0.1", "--port", std::to_string(receiver.Port()), "--json"}, {}, true);
  ASSERT_TRUE(receiver.Accept());
  std::string feed;
  for (size_t i = 0; i < kSentences; ++i) feed += "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15\r\n";
  std::thread sender([&] { receiver.Send(feed); });
  size_t printed = 0;
  char chunk[4096];
  for (ssize_t got; printed < kSentences && (got = read(host.OutputPipe(), chunk, sizeof chunk)) > 0;) {
    printed += static_cast<size_t>(std::count(chunk, chunk + got, '\n'));
    std::this_thread::sleep_for(milliseconds(2));  // the pipe's slow reader
  }
  sender.join();
  host.Interrupt();
  for (ssize_t got; (got = read(host.OutputPipe(), chunk, sizeof chunk)) > 0;) {
    printed += static_cast<size_t>(std::count(chunk, chunk + got, '\n'));
  }
  EXPECT_EQ(host.Wait(milliseconds(10000)), 0) << host.Errors();
  EXPECT_EQ(printed, kSentences) << host.Errors();
  EXPECT_NE(host.Errors().find("0 records not posted"), std::string::npos) << host.Errors();
}

// Ctrl-C ends the program within a second while it feeds a reader that has
// stalled (its output pipe full, a receiver at full speed behind it).
TEST(HostProgram, CtrlCEndsItWithinASecondWhileItsReaderStalls) {
  vf::test::TcpServer receiver;
  HostProgram host;
  host.Start({"--tcp", "127.0.0.1", "--port", std::to_string(receiver.Port()), "--json"}, {}, true);
  ASSERT_TRUE(receiver.Accept());
  std::string feed;
  for (size_t i = 0; i < 20000; ++i) feed += "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15\r\n";
  std::thread sender([&] { receiver.Send(feed); });
  char chunk[4096];
  ASSERT_GT(read(host.OutputPipe(), chunk, sizeof chunk), 0) << "records are printed";  // then nobody reads
  const auto pipeFull = [&] {
    int queued = 0;
    return ioctl(host.OutputPipe(), FIONREAD, &queued) == 0 && queued >= fcntl(host.OutputPipe(), F_GETPIPE_SZ) - 4096;
  };
  ASSERT_TRUE(vf::test::WaitUntil(pipeFull)) << "the pipe fills";
  const auto interrupted = std::chrono::steady_clock::now();
  host.Interrupt();
  EXPECT_EQ(host.Wait(milliseconds(10000)), 0) << host.Errors();
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, milliseconds(1000)) << host.Errors();
  sender.join();  // the host's end closed the connection
}

}  // namespace
