#include "host_options.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include <map>
#include <utility>

#include "ais_utf8.h"
#include "common/command_line.h"
#include "config/option_text.h"

namespace vf::host {
namespace {

// A regular file (or a pipe) that can be opened for reading; else false,
// with the system's reason.
bool CanReadFile(const std::string& path, std::string& reason) {
  std::error_code failure;
  const auto status = std::filesystem::status(path, failure);
  if (failure) {
    reason = failure.message();
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    reason = std::make_error_code(std::errc::is_a_directory).message();
    return false;
  }
  if (!std::ifstream(path)) {
    reason = std::make_error_code(std::errc::permission_denied).message();
    return false;
  }
  return true;
}


bool ParseInteger(const std::string& text, int64_t low, int64_t high, int32_t& out) {
  int64_t value = 0;
  if (!vf::tools::ParseWhole(text, low, high, value)) return false;
  out = static_cast<int32_t>(value);
  return true;
}

// "HOST:PORT", "[HOST]:PORT" or ":PORT"; a host without a port is left whole.
bool SplitHostPort(const std::string& text, std::string& host, std::optional<int32_t>& port, std::string& error) {
  const size_t colon = text.rfind(':');
  const bool bracketed = !text.empty() && text[0] == '[';
  if (colon == std::string::npos || (bracketed && text[colon - 1] != ']') ||
      (!bracketed && text.find(':') != colon)) {  // no port, or an IPv6 address without brackets
    host = text;
    return true;
  }
  int32_t number = 0;
  if (!ParseInteger(text.substr(colon + 1), 1, 65535, number)) {
    error = "bad port in '" + text + "': expected HOST:PORT with a port from 1 to 65535";
    return false;
  }
  host = bracketed ? text.substr(1, colon - 2) : text.substr(0, colon);
  port = number;
  return true;
}

// A receiver named in one argument: "tcp://HOST:PORT", "udp://[HOST]:PORT"
// (the host, if any, is the peer), or with --tcp "HOST:PORT", with --udp
// "[HOST]:PORT", with --serial a device path or "COMn".
bool ParseSource(const std::string& kind, std::string text, HostOptions& options, std::string& error) {
  std::string scheme = kind;
  if (const size_t separator = text.find("://"); separator != std::string::npos) {
    scheme = text.substr(0, separator);
    text = text.substr(separator + 3);
  }
  if (scheme == "serial") {
    options.connectionType = kConnectionSerial;
    int32_t port = 0;
    if (text.size() > 3 && text.compare(0, 3, "COM") == 0 && ParseInteger(text.substr(3), 1, kAisLastComPort, port)) {
      options.serialPort = port;
    } else {
      options.serialDevice = text;
    }
    return true;
  }
  if (scheme != "tcp" && scheme != "udp") {
    error = "unknown receiver '" + (scheme.empty() ? text : scheme + "://") + "': expected tcp://HOST:PORT, udp://[HOST]:PORT or a device";
    return false;
  }
  options.connectionType = kConnectionTcpIp;
  options.socketType = scheme == "udp" ? kSocketUdp : kSocketTcp;
  // A number alone is the port the datagrams come to, as ais-sim --udp PORT
  // sends them to it.
  int32_t port = 0;
  if (scheme == "udp" && ParseInteger(text, 1, 65535, port)) {
    options.ipPort = port;
    return true;
  }
  std::string host;
  if (!SplitHostPort(text, host, options.ipPort, error)) return false;
  if (host.find(':') != std::string::npos) {
    error = "'" + host + "' is an IPv6 address; the plug-in's links open IPv4 addresses and host names only";
    return false;
  }
  if (kind.empty() && scheme == "tcp" && !options.ipPort) {
    error = "tcp://" + text + " has no port: give tcp://HOST:PORT";
    return false;
  }
  if (!host.empty()) options.hostAddress = host;
  return true;
}

// The form of a bare "--json": the record's own field names.
constexpr const char* kRecordJson = "record";

// Where the parser puts what needs a second look once all is read.
struct Scratch {
  std::string json, serial, udp, tcp, receiver;
  std::string crc;
};

void DescribeOptions(CLI::App& app, HostOptions& options, Scratch& scratch) {
  vf::tools::AddVersionFlag(app);
  app.description(
      "Loads the AIS receiver plug-in, starts it on a link and prints every target record it posts.\n"
      "Without a receiver option the plug-in reads the built-in simulator over loopback TCP.");
  app.get_formatter()->column_width(26);
  app.footer(
      "The option entries of --options are listed in sdk/ais_plugin.h with m_strOptions.\n"
      "Exit codes: 0 stopped cleanly, 1 bad options, 2 the plug-in could not be loaded, 3 it did not start,\n"
      "4 its link could not be opened (status 2), 5 it did not stop cleanly.");
  app.add_option("--plugin", options.pluginPath, "the plug-in library (AIS.so); required")->type_name("PATH");
  app.add_option("--duration", options.durationSeconds, "run this long, then stop (default: until Ctrl-C)")
      ->type_name("SECONDS")
      ->check(vf::tools::Number(0, 1e9, true, "a number of seconds"));
  app.add_option("--json", scratch.json,
                 "one JSON object per record (JSON Lines), named as the record's fields;\n"
                 "only the fields its kind of message carries;\n"
                 "--json gpsd: as gpsdecode -j prints it: gpsd's names and units, only the\n"
                 "fields the message sets, texts trimmed. \"type\" is printed where the record\n"
                 "tells it; a position of types 1-3 has none (the record does not say which),\n"
                 "and lacks the keys it cannot carry: turn, heading, accuracy, second,\n"
                 "maneuver, raim, radio (type 5 lacks imo, eta, draught, dte, ais_version,\n"
                 "epfd). Type 24 parts come out one object each, as gpsdecode prints them.")
      ->type_name("[gpsd]")
      ->check(vf::tools::OneOf({kRecordJson, "gpsd"}));
  app.add_flag("--quiet", options.quiet, "no line per record, only the counts at the end");
  app.add_option("--counts-every", options.countsEverySeconds,
                 "print the plug-in's status, the rate and the counts per kind to standard\n"
                 "error this often, a line each (the live line needs a terminal)")
      ->type_name("SECONDS")
      ->check(vf::tools::Number(0, 1e9, false, "a positive number of seconds"));
  app.add_flag("--monitor", options.monitor,
               "open a \"Communications Monitor\" window: the plug-in then traces\n"
               "every received line to Trace_AIS.dll.txt");
  app.add_flag("--configure", options.configure, "show the plug-in's configuration dialog before starting");
  app.add_flag("--no-start", options.noStart, "print the configuration record (after the dialog) and exit");

  const auto integer = [&app, &options](const char* name, std::optional<int32_t> HostOptions::*field, int64_t low,
                                        int64_t high, const char* help) {
    return app
        .add_option_function<int64_t>(
            name, [&options, field](const int64_t& value) { options.*field = static_cast<int32_t>(value); }, help)
        ->type_name("N")
        ->check(vf::tools::WholeNumber(low, high));
  };
  const std::string receiver =
      "Receiver (default: standard input when it is not a terminal, as gpsdecode reads it; else the built-in "
      "simulator)";
  app.option_defaults()->group(receiver);  // the options that follow
  app.add_option("receiver", scratch.receiver, "tcp://HOST:PORT or udp://[HOST]:PORT")
      ->type_name("URL");
  app.add_option("--serial", scratch.serial,
                 "read a serial port: a device path (/dev/ttyUSB0, /dev/serial/by-id/...),\n"
                 "COMn, or --serial-port (see also --speed, --format)")
      ->expected(0, 1)
      ->type_name("[DEVICE]");
  app.add_option("--tcp", scratch.tcp, "connect to a TCP server (or see --port); also tcp://HOST:PORT")
      ->type_name("HOST[:PORT]");
  app.add_option("--udp", scratch.udp,
                 "listen on a UDP port: PORT (as ais-sim --udp PORT sends to it), or\n"
                 "HOST:PORT with a peer (or see --port, --host, --remote-port); also udp://[HOST:]PORT")
      ->expected(0, 1)
      ->type_name("[[HOST:]PORT]");
  app.add_option_function<std::string>(
         "--host", [&options](const std::string& host) { options.hostAddress = host; },
         "the peer's host name or address")
      ->type_name("HOST");
  integer("--serial-port", &HostOptions::serialPort, 1, kAisLastComPort, "COM port number, 1 to 256");
  integer("--speed", &HostOptions::serialSpeed, 1, INT32_MAX,
          "serial speed (default 38400, the speed of AIS receivers; the plug-in's\n"
          "own default, for hosts that set none, stays 9600)");
  integer("--format", &HostOptions::serialFormat, 0, 3, "serial frame: 0 8N1, 1 7E1, 2 8N2, 3 7E2");
  // A host refuses what the network cannot use; the plug-in keeps its own
  // rules for hosts that pass such values.
  integer("--port", &HostOptions::ipPort, 1, 65535, "TCP port, or local UDP port, 1 to 65535");
  integer("--remote-port", &HostOptions::remoteIpPort, 0, 65535, "remote UDP port, 0 (none) to 65535");
  integer("--serial-timeout", &HostOptions::serialTimeout, 0, INT32_MAX, "serial read time-out in ms");
  integer("--time-offset", &HostOptions::timeOffset, INT32_MIN, INT32_MAX, "latency in ms added to every time stamp");
  integer("--device-id", &HostOptions::deviceId, INT32_MIN, INT32_MAX, "device id carried by every record");
  app.add_option("--crc", scratch.crc,
                 "verify sentence checksums (default on; every line of a UDP datagram is\n"
                 "checked on its own, unless --options UDPLINES=0 or LITERAL=1)")
      ->type_name("on|off")
      ->check(vf::tools::OneOf({"on", "off"}));
  app.add_option_function<std::vector<std::string>>(
         "--options",
         [&options](const std::vector<std::string>& texts) {
           std::string joined;
           for (const std::string& text : texts) {
             if (!joined.empty() && joined.back() != ';') joined += ';';
             joined += text;
           }
           options.optionText = joined;
         },
         "entries added to the option text, e.g. \"TYPES=ALL;OWNSHIP=1\"; LITERAL=1\n"
         "turns off what the plug-in does by default beyond its contract; given\n"
         "again, the entries are joined")
      ->type_name("TEXT")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

  const std::string recordings = "Recordings, served to the plug-in over loopback TCP; the run ends when all is read";
  app.option_defaults()->group(recordings);  // the options that follow
  app.add_option_function<std::string>(
         "--file", [&options](const std::string& path) { options.recording = path; },
         "a file of NMEA lines, or - for standard input (ais-host ... --file - < rec)")
      ->type_name("PATH");
  app.add_option("--rate", options.replayRate, "lines per second (default: as fast as the plug-in reads)")
      ->type_name("N")
      ->check(vf::tools::Number(0, 1e9, false, "a positive number of lines per second"));
  app.add_flag("--own-pace", options.ownPace,
               "at the pace of the recording's tag-block times");

  const std::string simulator = "Built-in simulator";
  app.option_defaults()->group(simulator);  // the options that follow
  app.add_flag("--simulate", options.simulate,
               "serve the built-in simulator's traffic (so do --vessels and --sim-rate)");
  app.add_option("--vessels", options.vessels, "stations in the simulated fleet, 1 to 100000 (default 20)")
      ->type_name("N")
      ->check(vf::tools::WholeNumber(1, 100000));
  app.add_option("--sim-rate", options.simulatorRate, "sentences per second (default: the fleet's own pace)")
      ->type_name("N")
      ->check(vf::tools::Number(0, 1e9, false, "a positive number of sentences per second"));
}

}  // namespace

std::string HostUsage() {
  HostOptions options;
  Scratch scratch;
  CLI::App app("", "ais-host");
  DescribeOptions(app, options, scratch);
  return app.help();
}

std::string HostVersion() { return vf::tools::VersionLine("ais-host"); }

std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& arguments, std::string& error) {
  // "--json" takes "gpsd" as its form only when that word follows it;
  // whatever else follows (a receiver, say) is not its value.
  std::vector<std::string> rewritten;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] != "--json") {
      rewritten.push_back(arguments[i]);
    } else {
      const bool gpsd = i + 1 < arguments.size() && arguments[i + 1] == "gpsd";
      rewritten.push_back(std::string("--json=") + (gpsd ? arguments[++i] : kRecordJson));
    }
  }
  HostOptions options;
  Scratch scratch;
  CLI::App app("", "ais-host");
  DescribeOptions(app, options, scratch);
  vf::tools::InfoRequest info;
  if (!vf::tools::ParseCommandLine(app, rewritten, info, error)) return std::nullopt;
  options.showHelp = info.help;
  options.showVersion = info.version;
  if (info.help || info.version) return options;
  options.json = app.count("--json") > 0;
  options.gpsdJson = scratch.json == "gpsd";
  if (!scratch.crc.empty()) options.checksum = scratch.crc == "on";
  // The receivers named, in the order given (the last one wins), each with
  // the source that came with it.
  const std::map<std::string, std::pair<std::string, const std::string*>> kReceivers = {
      {"--serial", {"serial", &scratch.serial}},
      {"--udp", {"udp", &scratch.udp}},
      {"--tcp", {"tcp", &scratch.tcp}},
      {"receiver", {"", &scratch.receiver}}};
  for (const CLI::Option* given : app.parse_order()) {
    const auto receiver = kReceivers.find(given->get_name());
    if (receiver == kReceivers.end()) continue;
    const auto& [kind, text] = receiver->second;
    if (kind == "serial") options.connectionType = kConnectionSerial;
    if (kind == "udp") {
      options.connectionType = kConnectionTcpIp;
      options.socketType = kSocketUdp;
    }
    if (!text->empty() && !ParseSource(kind, *text, options, error)) return std::nullopt;
  }
  if (options.pluginPath.empty()) {
    error = "--plugin PATH is required: the path of AIS.so";
    return std::nullopt;
  }
  options.simulate = options.simulate || app.count("--vessels") > 0 || app.count("--sim-rate") > 0;
  if (options.recording && *options.recording != "-" && !CanReadFile(*options.recording, error)) {
    error = "--file " + *options.recording + ": " + error;
    return std::nullopt;
  }
  return options;
}

constexpr int32_t kReceiverSerialSpeed = 38400;

namespace {

// Nothing to read named: neither a receiver nor a recording, and more than
// the dialog or the configuration record asked for.
bool NeedsAFeed(const HostOptions& options) {
  return !options.connectionType && !options.recording && !options.configure && !options.noStart;
}

}  // namespace

bool UsesBuiltInSimulator(const HostOptions& options, bool standardInputIsTerminal) {
  return NeedsAFeed(options) && (options.simulate || standardInputIsTerminal);
}

bool ReadsStandardInput(const HostOptions& options, bool standardInputIsTerminal) {
  return NeedsAFeed(options) && !options.simulate && !standardInputIsTerminal;
}

void ApplyHostOptions(const HostOptions& options, CCfgDevice& config) {
  auto apply = [](const std::optional<int32_t>& given, int32_t& field) {
    if (given) field = *given;
  };
  apply(options.deviceId, config.m_nDeviceId);
  apply(options.connectionType, config.m_nConnectionType);
  apply(options.serialPort, config.m_nSerialPort);
  apply(options.serialSpeed, config.m_nSerialSpeed);
  if (options.connectionType == kConnectionSerial && !options.serialSpeed) config.m_nSerialSpeed = kReceiverSerialSpeed;
  apply(options.serialFormat, config.m_nSerialFormat);
  apply(options.socketType, config.m_nSocketType);
  apply(options.ipPort, config.m_nIpPort);
  apply(options.remoteIpPort, config.m_nRemoteIpPort);
  apply(options.timeOffset, config.m_nTimeOffset);
  apply(options.serialTimeout, config.m_nSerialTimeout);
  if (options.hostAddress) config.m_strHostAddress = FromUtf8(*options.hostAddress);
  std::u16string text(config.m_strOptions.View());
  if (options.optionText) {
    if (!text.empty() && text.back() != u';') text += u';';
    text += FromUtf8(*options.optionText);
  }
  if (options.checksum) SetCrcOption(text, *options.checksum ? u"1" : u"0");
  config.m_strOptions = text;
}

}  // namespace vf::host
