#include "sim_options.h"

#include "common/command_line.h"

namespace vf::sim {
namespace {

// "HOST:PORT" or "PORT".
bool ParseEndpoint(const std::string& text, std::string& host, uint16_t& port) {
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos) host = text.substr(0, colon);
  int64_t number = 0;
  if (host.empty() || !vf::tools::ParseWhole(text.substr(colon == std::string::npos ? 0 : colon + 1), 1, 65535, number)) {
    return false;
  }
  port = static_cast<uint16_t>(number);
  return true;
}

// Where the parser puts what needs a second look once all is read.
struct Scratch {
  std::string tcp, udp, pty;
  std::vector<std::string> faults;  // KIND=P
  std::string allFaults;            // P
};

void DescribeOptions(CLI::App& app, SimOptions& options, Scratch& scratch) {
  vf::tools::AddVersionFlag(app);
  app.description(
      "Simulates a fleet (a base station, class A ships, class B craft) and sends the AIS NMEA sentences a\n"
      "receiver would put out for it: types 1/2/3, 4, 5 (two sentences), 18 and 24 A/B.");
  app.get_formatter()->column_width(24);
  const std::string output = "Output (the last one given; default standard output)";
  app.add_option("--tcp", scratch.tcp, "serve one TCP client at a time (default address 127.0.0.1)")
      ->type_name("[ADDRESS:]PORT")
      ->group(output);
  app.add_option("--udp", scratch.udp, "send one datagram per sentence (default host 127.0.0.1)")
      ->type_name("[HOST:]PORT")
      ->group(output);
  app.add_option("--pty", scratch.pty,
                 "a pseudo-terminal; LINK names a symbolic link to it, e.g.\n$VF_SERIAL_DIR/com5")
      ->expected(0, 1)
      ->type_name("[LINK]")
      ->group(output);
  const std::string toStandardOutput = "standard output";
  app.add_flag("--stdout", toStandardOutput)->group(output);

  app.add_option("--vessels", options.feed.fleetSize, "fleet size, base station included, 1 to 100000 (default 20)")
      ->type_name("N")
      ->check(vf::tools::WholeNumber(1, 100000));
  app.add_option("--seed", options.feed.seed, "the same seed gives the same fleet and traffic (default 1)")
      ->type_name("N")
      ->check(vf::tools::WholeNumber(0, UINT32_MAX));
  app.add_option("--rate", options.feed.linesPerSecond,
                 "sentences per second (default: the fleet's own pace, in real time)")
      ->type_name("N")
      ->check(vf::tools::Number(0.001, 1e7, true, "a positive number of sentences per second"));
  app.add_option("--duration", options.feed.durationSeconds, "stop after this long")
      ->type_name("SECONDS")
      ->check(vf::tools::Number(0.001, 1e9, true, "a positive number of seconds"));
  app.add_option("--count", options.feed.transmissions, "stop after N transmissions")
      ->type_name("N")
      ->check(vf::tools::WholeNumber(1, INT64_MAX));
  app.add_option("--reader-wait", options.feed.readerWaitSeconds,
                 "end the run (exit status 3) when no reader takes the feed for this long:\n"
                 "no TCP client, a terminal nobody reads (default: 60 with --count, else\nno limit)")
      ->type_name("SECONDS")
      ->check(vf::tools::Number(0.001, 1e9, true, "a positive number of seconds"));
  app.add_option("--fault", scratch.faults,
                 "inject a fault into a share P (0 to 1) of transmissions; KIND is checksum,\n"
                 "truncate, lose (a message's last sentence), garbage (a junk line before it),\n"
                 "overlong (a 5000-character line before it), lose-first (its first sentence),\n"
                 "channels (its later sentences on the other channel), short (its payload cut\n"
                 "short, checksum right) or interleave (with the next two-sentence message,\n"
                 "which takes its sequence id on the other channel); repeat for several kinds")
      ->type_name("KIND=P");
  app.add_option("--faults", scratch.allFaults, "every kind of fault, each with share P (a --fault overrides it)")
      ->type_name("P")
      ->check(vf::tools::Number(0, 1, true, "a share from 0 to 1"));
}

}  // namespace

std::string SimVersion() { return vf::tools::VersionLine("ais-sim"); }

std::string SimUsage() {
  SimOptions options;
  Scratch scratch;
  CLI::App app("", "ais-sim");
  DescribeOptions(app, options, scratch);
  return app.help();
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& arguments, std::string& error) {
  SimOptions options;
  Scratch scratch;
  CLI::App app("", "ais-sim");
  DescribeOptions(app, options, scratch);
  vf::tools::InfoRequest info;
  if (!vf::tools::ParseCommandLine(app, arguments, info, error)) return std::nullopt;
  options.showHelp = info.help;
  options.showVersion = info.version;
  if (info.help || info.version) return options;
  for (const CLI::Option* given : app.parse_order()) {
    const std::string name = given->get_name();
    if (name == "--stdout") options.output = OutputKind::kStdout;
    if (name == "--pty") options.output = OutputKind::kPseudoTerminal;
    if (name != "--tcp" && name != "--udp") continue;
    options.output = name == "--tcp" ? OutputKind::kTcpServer : OutputKind::kUdp;
    const std::string& text = name == "--tcp" ? scratch.tcp : scratch.udp;
    options.address = "127.0.0.1";
    if (!ParseEndpoint(text, options.address, options.port)) {
      error = name + ": expected [HOST:]PORT with a port from 1 to 65535, not '" + text + "'";
      return std::nullopt;
    }
  }
  options.linkPath = scratch.pty;
  // A counted run is a bounded one: it does not wait for ever for a reader.
  if (options.feed.transmissions != 0 && app.get_option("--reader-wait")->count() == 0) {
    options.feed.readerWaitSeconds = kCountedReaderWaitSeconds;
  }
  auto& shares = options.feed.faults.probability;
  if (!scratch.allFaults.empty()) shares.fill(std::stod(scratch.allFaults));
  for (const std::string& fault : scratch.faults) {
    const size_t equals = fault.find('=');
    const auto kind = equals == std::string::npos ? std::nullopt : FaultNamed(fault.substr(0, equals));
    std::string share = equals == std::string::npos ? "" : fault.substr(equals + 1);
    if (!kind || !vf::tools::Number(0, 1, true, "")(share).empty()) {
      error = "--fault: expected KIND=P with KIND checksum, truncate, lose, garbage, overlong, lose-first, channels, "
              "short or interleave and P from 0 to 1, "
              "not '" + fault + "'";
      return std::nullopt;
    }
    shares[static_cast<size_t>(*kind)] = std::stod(share);
  }
  double total = 0;
  for (const double share : shares) total += share;
  if (total > 1.0 + 1e-9) {
    error = "the fault shares add up to more than 1";
    return std::nullopt;
  }
  return options;
}

}  // namespace vf::sim
