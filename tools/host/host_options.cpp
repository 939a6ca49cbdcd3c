#include "host_options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

#include "config/option_text.h"
#include "ais_utf8.h"

namespace vf::host {
namespace {

bool ParseInteger(const std::string& text, int64_t low, int64_t high, int32_t& out) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (failure != std::errc() || stop != end || value < low || value > high) return false;
  out = static_cast<int32_t>(value);
  return true;
}

bool ParseNumber(const std::string& text, double& out) {
  try {
    size_t used = 0;
    out = std::stod(text, &used);
    return used == text.size() && std::isfinite(out) && out >= 0.0;
  } catch (...) {
    return false;
  }
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
    if (text.size() > 3 && text.compare(0, 3, "COM") == 0 && ParseInteger(text.substr(3), 1, 256, port)) {
      options.serialPort = port;
    } else {
      options.serialDevice = text;
    }
    return true;
  }
  if (scheme != "tcp" && scheme != "udp") {
    error = "unknown receiver '" + scheme + "://': expected tcp://HOST:PORT, udp://[HOST]:PORT or a device";
    return false;
  }
  options.connectionType = kConnectionTcpIp;
  options.socketType = scheme == "udp" ? kSocketUdp : kSocketTcp;
  std::string host;
  if (!SplitHostPort(text, host, options.ipPort, error)) return false;
  if (!host.empty()) options.hostAddress = host;
  return true;
}

struct IntegerOption {
  std::optional<int32_t> HostOptions::*field;
  int64_t low, high;
};

const std::map<std::string, IntegerOption>& IntegerOptions() {
  static const std::map<std::string, IntegerOption> options = {
      {"--device-id", {&HostOptions::deviceId, INT32_MIN, INT32_MAX}},
      {"--serial-port", {&HostOptions::serialPort, 1, kAisLastComPort}},
      {"--speed", {&HostOptions::serialSpeed, 1, INT32_MAX}},
      {"--format", {&HostOptions::serialFormat, 0, 3}},
      // A host refuses what the network cannot use; the plug-in keeps its own
      // rules for hosts that pass such values.
      {"--port", {&HostOptions::ipPort, 1, 65535}},
      {"--remote-port", {&HostOptions::remoteIpPort, 0, 65535}},
      {"--time-offset", {&HostOptions::timeOffset, INT32_MIN, INT32_MAX}},
      {"--serial-timeout", {&HostOptions::serialTimeout, 0, INT32_MAX}},
  };
  return options;
}

}  // namespace

std::string HostUsage() {
  return "Usage: ais-host --plugin PATH [receiver] [options]\n"
         "Loads the AIS receiver plug-in, starts it on a link and prints every target record it posts.\n"
         "Without a receiver option the plug-in reads the built-in simulator over loopback TCP.\n"
         "\n"
         "  --plugin PATH         the plug-in library (AIS.so)\n"
         "  --duration SECONDS    run this long, then stop (default: until Ctrl-C)\n"
         "  --json                one JSON object per record (JSON Lines), named as the record's fields\n"
         "  --json gpsd           the same as gpsdecode -j prints it: gpsd's names and units, only the\n"
         "                        fields the message sets, texts trimmed\n"
         "  --quiet               no line per record, only the counts at the end\n"
         "  --monitor             open a \"Communications Monitor\" window: the plug-in then traces every\n"
         "                        received line to Trace_AIS.dll.txt\n"
         "  --configure           show the plug-in's configuration dialog before starting\n"
         "  --no-start            print the configuration record (after the dialog) and exit\n"
         "\n"
         "Receiver (default: the built-in simulator):\n"
         "  --serial [DEVICE]     read a serial port: a device path (/dev/ttyUSB0, /dev/serial/by-id/...),\n"
         "                        COMn, or --serial-port (see also --speed, --format)\n"
         "  --tcp HOST[:PORT]     connect to a TCP server (or see --port); also tcp://HOST:PORT\n"
         "  --udp [[HOST]:PORT]   listen on a UDP port (or see --port; --host and --remote-port for a\n"
         "                        peer); also udp://[HOST]:PORT\n"
         "  --host HOST           the peer's host name or address\n"
         "  --serial-port N       COM port number, 1 to 256\n"
         "  --speed BPS           serial speed (default 38400, the speed of AIS receivers; the\n"
         "                        plug-in's own default, for hosts that set none, stays 9600)\n"
         "  --format N            serial frame: 0 8N1, 1 7E1, 2 8N2, 3 7E2\n"
         "  --port N              TCP port, or local UDP port, 1 to 65535\n"
         "  --remote-port N       remote UDP port, 0 (none) to 65535\n"
         "  --serial-timeout MS   serial read time-out\n"
         "  --time-offset MS      latency added to every time stamp\n"
         "  --device-id N         device id carried by every record\n"
         "  --crc on|off          verify sentence checksums (default on; off for UDP receivers, whose\n"
         "                        datagrams end in CR LF, unless --options UDPLINES=1)\n"
         "  --options TEXT        entries added to the option text, e.g. \"TAGBLOCK=1;TYPES=ALL;RECONNECT=1\"\n"
         "                        (sdk/ais_plugin.h lists them with m_strOptions)\n"
         "\n"
         "Recordings, served to the plug-in over loopback TCP; the run ends when all is read:\n"
         "  --file PATH           a file of NMEA lines, or - for standard input (ais-host ... --file - < rec)\n"
         "  --rate N              lines per second (default: as fast as the plug-in reads)\n"
         "  --own-pace            at the pace of the recording's tag-block times (with --options TAGBLOCK=1)\n"
         "\n"
         "Built-in simulator:\n"
         "  --vessels N           stations in the simulated fleet (default 20)\n"
         "  --sim-rate N          sentences per second (default: the fleet's own pace)\n"
         "\n"
         "  --help                this text\n"
         "\n"
         "Exit codes: 0 stopped cleanly, 1 bad options, 2 the plug-in could not be loaded, 3 it did not start,\n"
         "4 its link could not be opened (status 2), 5 it did not stop cleanly.\n";
}

std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& arguments, std::string& error) {
  HostOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    auto value = [&]() -> const std::string* {
      if (i + 1 >= arguments.size()) {
        error = name + " needs a value";
        return nullptr;
      }
      return &arguments[++i];
    };
    if (name == "--help" || name == "-h") {
      options.showHelp = true;
    } else if (name == "--json") {
      options.json = true;
      if (i + 1 < arguments.size() && arguments[i + 1] == "gpsd") options.gpsdJson = ++i > 0;
    } else if (name == "--quiet") {
      options.quiet = true;
    } else if (name == "--monitor") {
      options.monitor = true;
    } else if (name == "--configure") {
      options.configure = true;
    } else if (name == "--no-start") {
      options.noStart = true;
    } else if (name == "--vessels") {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      int32_t vessels = 0;
      if (!ParseInteger(*text, 1, 100000, vessels)) {
        error = "--vessels needs a whole number from 1 to 100000, not '" + *text + "'";
        return std::nullopt;
      }
      options.vessels = static_cast<size_t>(vessels);
    } else if (name == "--file") {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      options.recording = *text;
    } else if (name == "--own-pace") {
      options.ownPace = true;
    } else if (name == "--rate") {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      if (!ParseNumber(*text, options.replayRate) || options.replayRate <= 0) {
        error = "--rate needs a positive number of lines per second, not '" + *text + "'";
        return std::nullopt;
      }
    } else if (name == "--sim-rate") {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      if (!ParseNumber(*text, options.simulatorRate) || options.simulatorRate <= 0) {
        error = "--sim-rate needs a positive number of sentences per second, not '" + *text + "'";
        return std::nullopt;
      }
    } else if (name == "--serial" || name == "--udp") {
      options.connectionType = name == "--serial" ? kConnectionSerial : kConnectionTcpIp;
      if (name == "--udp") options.socketType = kSocketUdp;
      // An optional source: a device, or [HOST]:PORT.
      const bool sourceFollows = i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0;
      if (sourceFollows && !ParseSource(name.substr(2), arguments[++i], options, error)) return std::nullopt;
    } else if (name.find("://") != std::string::npos) {
      if (!ParseSource("", name, options, error)) return std::nullopt;
    } else if (name == "--tcp" || name == "--host" || name == "--plugin" || name == "--options") {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      if (name == "--plugin") {
        options.pluginPath = *text;
      } else if (name == "--options") {
        options.optionText = *text;
      } else if (name == "--tcp") {
        if (!ParseSource("tcp", *text, options, error)) return std::nullopt;
      } else {
        options.hostAddress = *text;
      }
    } else if (name == "--duration") {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      if (!ParseNumber(*text, options.durationSeconds)) {
        error = "--duration needs a number of seconds, not '" + *text + "'";
        return std::nullopt;
      }
    } else if (name == "--crc") {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      if (*text != "on" && *text != "off") {
        error = "--crc takes on or off, not '" + *text + "'";
        return std::nullopt;
      }
      options.checksum = *text == "on";
    } else if (auto found = IntegerOptions().find(name); found != IntegerOptions().end()) {
      const std::string* text = value();
      if (text == nullptr) return std::nullopt;
      int32_t number = 0;
      if (!ParseInteger(*text, found->second.low, found->second.high, number)) {
        error = name + " needs a whole number from " + std::to_string(found->second.low) + " to " +
                std::to_string(found->second.high) + ", not '" + *text + "'";
        return std::nullopt;
      }
      options.*(found->second.field) = number;
    } else {
      error = "unknown option '" + name + "' (see --help)";
      return std::nullopt;
    }
  }
  if (!options.showHelp && options.pluginPath.empty()) {
    error = "--plugin PATH is required: the path of AIS.so";
    return std::nullopt;
  }
  return options;
}

constexpr int32_t kReceiverSerialSpeed = 38400;

bool UsesBuiltInSimulator(const HostOptions& options) {
  return !options.connectionType && !options.recording && !options.configure && !options.noStart;
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
