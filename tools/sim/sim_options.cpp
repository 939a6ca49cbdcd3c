#include "sim_options.h"

#include <charconv>
#include <cmath>

namespace vf::sim {
namespace {

template <typename T>
bool ParseWhole(const std::string& text, T low, T high, T& out) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (failure != std::errc() || stop != end || value < low || value > high) return false;
  out = value;
  return true;
}

bool ParseReal(const std::string& text, double low, double high, double& out) {
  try {
    size_t used = 0;
    const double value = std::stod(text, &used);
    if (used != text.size() || !std::isfinite(value) || value < low || value > high) return false;
    out = value;
    return true;
  } catch (...) {
    return false;
  }
}

// "HOST:PORT" or "PORT".
bool ParseEndpoint(const std::string& text, std::string& host, uint16_t& port) {
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos) host = text.substr(0, colon);
  return !host.empty() && ParseWhole<uint16_t>(text.substr(colon == std::string::npos ? 0 : colon + 1), 1, 65535, port);
}

}  // namespace

std::string SimUsage() {
  return "Usage: ais-sim [output] [options]\n"
         "Simulates a fleet (a base station, class A ships, class B craft) and sends the AIS NMEA sentences a\n"
         "receiver would put out for it: types 1/2/3, 4, 5 (two sentences), 18 and 24 A/B.\n"
         "\n"
         "Output (one; default standard output):\n"
         "  --tcp [ADDRESS:]PORT  serve one TCP client at a time (default address 127.0.0.1)\n"
         "  --udp [HOST:]PORT     send one datagram per sentence (default host 127.0.0.1)\n"
         "  --pty [LINK]          a pseudo-terminal; LINK names a symbolic link to it, e.g. $VF_SERIAL_DIR/com5\n"
         "  --stdout              standard output\n"
         "\n"
         "Options:\n"
         "  --vessels N           fleet size, base station included (default 20)\n"
         "  --seed N              the same seed gives the same fleet and traffic (default 1)\n"
         "  --rate N              sentences per second (default: the fleet's own pace, in real time)\n"
         "  --duration SECONDS    stop after this long\n"
         "  --count N             stop after N transmissions\n"
         "  --fault KIND=P        inject a fault into a share P (0 to 1) of transmissions; KIND is checksum,\n"
         "                        truncate, lose (a message's last sentence), garbage (a junk line before it)\n"
         "                        or overlong (a 5000-character line before it); repeat for several kinds\n"
         "  --faults P            every kind of fault, each with share P\n"
         "  --help                this text\n";
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& arguments, std::string& error) {
  SimOptions options;
  double faultTotal = 0;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    const bool hasValue = i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0;
    const auto value = [&]() -> std::optional<std::string> {
      if (!hasValue) {
        error = name + " needs a value (see --help)";
        return std::nullopt;
      }
      return arguments[++i];
    };
    const auto bad = [&](const std::string& text, const char* what) {
      error = "bad value '" + text + "' for " + name + ": " + what;
      return std::nullopt;
    };
    if (name == "--help") {
      options.showHelp = true;
    } else if (name == "--stdout") {
      options.output = OutputKind::kStdout;
    } else if (name == "--tcp" || name == "--udp") {
      const auto text = value();
      if (!text) return std::nullopt;
      options.output = name == "--tcp" ? OutputKind::kTcpServer : OutputKind::kUdp;
      options.address = "127.0.0.1";
      if (!ParseEndpoint(*text, options.address, options.port)) return bad(*text, "expected [HOST:]PORT, port 1 to 65535");
    } else if (name == "--pty") {
      options.output = OutputKind::kPseudoTerminal;
      if (hasValue) options.linkPath = arguments[++i];
    } else if (name == "--vessels") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (!ParseWhole<size_t>(*text, 1, 100000, options.feed.fleetSize)) return bad(*text, "expected 1 to 100000");
    } else if (name == "--seed") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (!ParseWhole<uint32_t>(*text, 0, UINT32_MAX, options.feed.seed)) return bad(*text, "expected a whole number");
    } else if (name == "--rate") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (!ParseReal(*text, 0.001, 1e7, options.feed.linesPerSecond)) return bad(*text, "expected a positive number");
    } else if (name == "--duration") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (!ParseReal(*text, 0.001, 1e9, options.feed.durationSeconds)) return bad(*text, "expected positive seconds");
    } else if (name == "--count") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (!ParseWhole<uint64_t>(*text, 1, UINT64_MAX, options.feed.transmissions)) return bad(*text, "expected 1 or more");
    } else if (name == "--fault" || name == "--faults") {
      const auto text = value();
      if (!text) return std::nullopt;
      const size_t equals = text->find('=');
      std::vector<Fault> kinds(kAllFaults.begin(), kAllFaults.end());
      std::string share = *text;
      if (name == "--fault") {
        const auto kind = equals == std::string::npos ? std::nullopt : FaultNamed(text->substr(0, equals));
        if (!kind) return bad(*text, "expected KIND=P with KIND checksum, truncate, lose, garbage or overlong");
        kinds = {*kind};
        share = text->substr(equals + 1);
      }
      double probability = 0;
      if (!ParseReal(share, 0, 1, probability)) return bad(*text, "the share must be 0 to 1");
      for (Fault kind : kinds) {
        double& slot = options.feed.faults.probability[static_cast<size_t>(kind)];
        faultTotal += probability - slot;
        slot = probability;
      }
    } else {
      error = "unknown option '" + name + "' (see --help)";
      return std::nullopt;
    }
  }
  if (faultTotal > 1.0 + 1e-9) {
    error = "the fault shares add up to more than 1";
    return std::nullopt;
  }
  return options;
}

}  // namespace vf::sim
