// What the tools' command lines share: CLI11 checks whose messages say what
// a value must be.
#pragma once

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vf::tools {

// The whole of `text` as a whole number from `low` to `high`.
inline bool ParseWhole(const std::string& text, int64_t low, int64_t high, int64_t& out) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (failure != std::errc() || stop != end || value < low || value > high) return false;
  out = value;
  return true;
}

// A whole number from `low` to `high`.
inline CLI::Validator WholeNumber(int64_t low, int64_t high) {
  const std::string range = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  return CLI::Validator(
      [low, high, range](std::string& text) -> std::string {
        int64_t value = 0;
        if (ParseWhole(text, low, high, value)) return {};
        return "expected " + range + ", not '" + text + "'";
      },
      "");
}

// A finite number from `low` to `high`; with `lowIncluded` false, above `low`.
inline CLI::Validator Number(double low, double high, bool lowIncluded, const std::string& what) {
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        size_t used = 0;
        double value = 0;
        try {
          value = std::stod(text, &used);
        } catch (...) {
          used = 0;
        }
        if (used == text.size() && std::isfinite(value) && (lowIncluded ? value >= low : value > low) &&
            value <= high) {
          return {};
        }
        return "expected " + what + ", not '" + text + "'";
      },
      "");
}

// One of `names`, said so when it is not.
inline CLI::Validator OneOf(std::vector<std::string> names) {
  return CLI::IsMember(std::move(names)).description("");
}

// "PROGRAM VERSION", as --version prints it.
inline std::string VersionLine(const std::string& program) { return program + " " + VF_TOOLS_VERSION; }

// --version, which prints VersionLine of the app's name.
inline void AddVersionFlag(CLI::App& app) {
  app.set_version_flag("--version", VersionLine(app.get_name()), "print the version and exit");
}

// What a command line asked for instead of a run.
struct InfoRequest {
  bool help = false;     // --help
  bool version = false;  // --version
};

// Parses `arguments` (without the program's name); on a bad command line
// returns false with `error` saying what is wrong. --help and --version are
// noted in `info`.
inline bool ParseCommandLine(CLI::App& app, const std::vector<std::string>& arguments, InfoRequest& info,
                             std::string& error) {
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());  // as CLI11 takes them
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    info.help = true;
  } catch (const CLI::CallForVersion&) {
    info.version = true;
  } catch (const CLI::ParseError& failure) {
    error = std::string(failure.what()) + " (see --help)";
    return false;
  }
  return true;
}

}  // namespace vf::tools
