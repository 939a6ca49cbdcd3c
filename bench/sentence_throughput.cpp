// Sentences per second through checksum, split, assembly and decoding to a
// built record, on the real-world recordings; and gpsdecode on the same input.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "plugin/ais_app.h"

namespace {

std::vector<std::string> CorpusLines() {
  std::vector<std::string> lines;
  if (!std::filesystem::is_directory(AIS_CORPUS_DIR)) return lines;
  for (const auto& entry : std::filesystem::directory_iterator(AIS_CORPUS_DIR)) {
    if (entry.path().extension() != ".log" && entry.path().extension() != ".aivdm") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
  }
  return lines;
}

const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = CorpusLines();
  return lines;
}

void PluginSentencePath(benchmark::State& state) {
  std::vector<std::u16string> wide;
  for (const std::string& line : Lines()) wide.emplace_back(line.begin(), line.end());
  CAISApp app;  // no host window: each record is built, then destroyed
  for (auto _ : state) {
    for (const std::u16string& line : wide) app.HandleReceivedLine(line);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * wide.size()));
  state.counters["sentences/s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * wide.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(PluginSentencePath)->Unit(benchmark::kMillisecond);

// gpsdecode over the same lines, repeated, as one process.
void Gpsdecode(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "ais-bench-corpus.nmea").string();
  {
    std::ofstream out(path, std::ios::binary);
    for (int copy = 0; copy < 50; ++copy) {
      for (const std::string& line : Lines()) out << line << "\r\n";
    }
  }
  const std::string command = "gpsdecode -j < '" + path + "' > /dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("gpsdecode failed (install gpsd-clients)");
  }
  const double sentences = static_cast<double>(state.iterations() * Lines().size() * 50);
  state.SetItemsProcessed(static_cast<int64_t>(sentences));
  state.counters["sentences/s"] = benchmark::Counter(sentences, benchmark::Counter::kIsRate);
  std::filesystem::remove(path);
}
BENCHMARK(Gpsdecode)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
