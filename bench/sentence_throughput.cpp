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

#include "nmea/fragment_store.h"
#include "datapath/sentence_path.h"

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

// Sentences per second of each side, for the closing comparison.
double g_pluginRate = 0.0;
double g_gpsdecodeRate = 0.0;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = CorpusLines();
  return lines;
}

void PluginSentencePath(benchmark::State& state) {
  // No host window: each record is built, then destroyed.
  const vf::TraceWriter trace(u"AIS");
  CTimeStamping clock;
  clock.Synchronize();
  vf::SentencePath path;
  const vf::LineContext context{trace, nullptr, &clock, vf::PassSettings{}};
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (const std::string& line : Lines()) path.HandleReceivedLine(line, context);
  }
  const double sentences = static_cast<double>(state.iterations() * Lines().size());
  g_pluginRate = sentences / SecondsSince(start);
  state.SetItemsProcessed(static_cast<int64_t>(sentences));
  state.counters["sentences/s"] = benchmark::Counter(sentences, benchmark::Counter::kIsRate);
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
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("gpsdecode failed (install gpsd-clients)");
  }
  const double sentences = static_cast<double>(state.iterations() * Lines().size() * 50);
  g_gpsdecodeRate = sentences / SecondsSince(start);
  state.SetItemsProcessed(static_cast<int64_t>(sentences));
  state.counters["sentences/s"] = benchmark::Counter(sentences, benchmark::Counter::kIsRate);
  std::filesystem::remove(path);
}
BENCHMARK(Gpsdecode)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The contract's fragment store under a flood of first sentences that never
// complete: an append into the full store (which pushes the oldest out) costs
// what an append into an empty one does.
void FragmentAppend(benchmark::State& state) {
  const bool full = state.range(0) != 0;
  vf::nmea::FragmentStore store;
  const std::string payload(60, 'w');
  if (full) {
    for (size_t i = 0; i < store.Capacity(); ++i) store.Append(2, 1, static_cast<uint8_t>(i % 10), payload);
  }
  uint8_t id = 0;
  for (auto _ : state) {
    store.Append(2, 1, id, payload);
    id = static_cast<uint8_t>((id + 1) % 10);
    if (!full) store.DropOlderThan(1, 0);  // empty again, without joining
  }
}
BENCHMARK(FragmentAppend)->Arg(0)->Arg(1)->ArgName("full");

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (Lines().empty()) {
    std::fprintf(stderr, "No recordings in %s: nothing to measure.\n", AIS_CORPUS_DIR);
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_pluginRate > 0.0 && g_gpsdecodeRate > 0.0) {
    std::printf("plug-in %.0f sentences/s, gpsdecode %.0f sentences/s: %.1f times as fast (target 13)\n",
                g_pluginRate, g_gpsdecodeRate, g_pluginRate / g_gpsdecodeRate);
  }
  return 0;
}
