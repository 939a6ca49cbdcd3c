// ais-host: the reference host. It loads the plug-in by path, gives it a
// window and a configuration, starts it, prints every record that arrives,
// and stops it after the given time or on Ctrl-C. Records go to standard
// output; everything else goes to standard error.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "diag/trace_file.h"
#include "embedded_feed.h"
#include "host_options.h"
#include "plugin_library.h"
#include "receiver_probe.h"
#include "record_format.h"
#include "record_tally.h"
#include "system_access.h"
#include "trace_view.h"
#include "ais_utf8.h"
#include "vf_system.h"

namespace {

using Clock = std::chrono::steady_clock;

enum ExitCode { kExitOk = 0, kExitUsage = 1, kExitLoad = 2, kExitStart = 3, kExitLinkFailed = 4, kExitStop = 5 };

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

std::string Text(void (*getter)(CWideString*)) {
  CWideString text;
  getter(&text);
  return vf::ToUtf8(text.View());
}

// The status line stays at the bottom of the terminal, below the records.
class StatusLine {
 public:
  StatusLine() : m_live(vf::host::StandardErrorIsTerminal()) {}
  void Show(const std::string& text) {
    if (!m_live || Clock::now() < m_next) return;
    // One terminal line: a line that wrapped would not be overwritten.
    const size_t columns = vf::host::StandardErrorColumns();
    const std::string shown = columns > 1 && text.size() >= columns ? text.substr(0, columns - 1) : text;
    std::fprintf(stderr, "\r\033[K%s", shown.c_str());
    std::fflush(stderr);
    m_shown = true;
    m_next = Clock::now() + std::chrono::milliseconds(250);
  }
  void Clear() {
    if (!m_shown) return;
    std::fputs("\r\033[K", stderr);
    m_shown = false;
    m_next = {};
  }

 private:
  bool m_live;
  bool m_shown = false;
  Clock::time_point m_next{};
};

class Receiver {
 public:
  Receiver(HostWindow window, const vf::host::HostOptions& options, StatusLine& status)
      : m_window(window), m_options(options), m_status(status) {}

  // Takes every record off the window's queue, waiting up to `waitMs` for
  // the first; the host owns each record and destroys it through its
  // virtual destructor. What they print goes out in one write at the end.
  // A feed faster than the output must not keep the program from seeing
  // Ctrl-C: the pump hands back after 100 ms of work.
  void Pump(int32_t waitMs) {
    VfMessage messages[256];
    const auto handBack = Clock::now() + std::chrono::milliseconds(100);
    for (int taken; (taken = VfGetMessages(m_window, messages, 256, waitMs)) > 0; waitMs = 0) {
      for (const VfMessage& message : std::span(messages, static_cast<size_t>(taken))) {
        if (message.message != kAisWmUser || message.wParam != kAisRecordWParam) continue;
        auto* record = reinterpret_cast<CRawData*>(message.lParam);
        if (record->m_nType == RAW_DATA_TYPE_AIS) {
          const auto& ais = *static_cast<const CRawDataAis*>(record);
          if (m_bMarkerExpected && vf::host::IsEndOfInputMarker(ais)) {
            m_bEndOfInput = true;  // the recording's marker: every line before it is handled
          } else {
            Show(ais);
          }
        }
        delete record;
      }
      if (m_output.size() >= kOutputChunk) WriteOutput();
      if (Clock::now() >= handBack && !g_interrupted) break;
    }
    WriteOutput();
  }

  vf::host::RecordTally& Tally() { return m_tally; }
  bool OutputClosed() const { return m_bOutputClosed; }
  size_t Unprinted() const { return m_nUnprinted; }
  bool EndOfInput() const { return m_bEndOfInput; }
  // A recording is served: its end comes as the marker's record. A receiver's
  // records are all shown, whatever their MMSI.
  void ExpectEndOfInputMarker() { m_bMarkerExpected = true; }

 private:
  static constexpr size_t kOutputChunk = 1 << 16;

  void Show(const CRawDataAis& record) {
    m_tally.Add(record.m_nContents);
    if (m_options.quiet) return;
    if (m_options.gpsdJson) {
      vf::host::AppendRecordGpsdJson(record, m_output);
    } else if (m_options.json) {
      vf::host::AppendRecordJson(record, m_output);
    } else {
      m_output += vf::host::DescribeRecord(record);
    }
    m_output += '\n';
  }

  void WriteOutput() {
    // After Ctrl-C nothing waits for a reader that may have stalled: the
    // records are counted, their lines not printed.
    if (g_interrupted || m_bOutputClosed) {
      m_nUnprinted += static_cast<size_t>(std::count(m_output.begin(), m_output.end(), '\n'));
      m_output.clear();
    }
    if (m_output.empty()) return;
    m_status.Clear();
    // A reader that has gone (`ais-host --json | head -3`) ends the run.
    if (!vf::host::WriteToOutput(m_output, g_interrupted)) m_bOutputClosed = true;
    m_output.clear();
  }

  HostWindow m_window;
  const vf::host::HostOptions& m_options;
  StatusLine& m_status;
  vf::host::RecordTally m_tally;
  std::string m_output;  // the records' lines not yet written
  bool m_bOutputClosed = false;
  size_t m_nUnprinted = 0;
  bool m_bMarkerExpected = false;
  bool m_bEndOfInput = false;
};

std::string DescribeConfig(const CCfgDevice& config) {
  const std::string options = vf::ToUtf8(config.m_strOptions.View());
  if (config.m_nConnectionType == kConnectionSerial) {
    return "serial COM" + std::to_string(config.m_nSerialPort) + " at " + std::to_string(config.m_nSerialSpeed) +
           " bps, format " + std::to_string(config.m_nSerialFormat) + ", options '" + options + "'";
  }
  const std::string host = vf::ToUtf8(config.m_strHostAddress.View());
  if (config.m_nSocketType == kSocketUdp) {
    return "UDP local port " + std::to_string(config.m_nIpPort) + ", peer '" + host + "' port " +
           std::to_string(config.m_nRemoteIpPort) + ", options '" + options + "'";
  }
  return "TCP " + host + ":" + std::to_string(config.m_nIpPort) + ", options '" + options + "'";
}

// Reads records until the time is up, Ctrl-C, or the link fails.
uint32_t RunUntilDone(const vf::host::PluginExports& api, const vf::host::HostOptions& options, Receiver& receiver,
                      StatusLine& status, VfNamedMutex* traceMutex, const vf::host::EmbeddedFeed& feed) {
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(options.durationSeconds));
  uint32_t pluginStatus = kStatusRunning;
  auto traceRead = Clock::now();
  uint64_t records = 0;
  auto lastRecord = Clock::now();
  auto nextCounts = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(options.countsEverySeconds));
  while (!g_interrupted && !receiver.OutputClosed() && (options.durationSeconds <= 0 || Clock::now() < end)) {
    receiver.Pump(100);
    if (receiver.Tally().Total() != records) {
      records = receiver.Tally().Total();
      lastRecord = Clock::now();
    }
    // A recording read to its end: its marker's record came, or (the marker
    // lost) a second passed without records.
    if (receiver.EndOfInput() || (feed.Finished() && Clock::now() - lastRecord > std::chrono::seconds(1))) break;
    api.get_Status(&pluginStatus);
    if (Clock::now() - traceRead >= std::chrono::seconds(1)) {  // what the plug-in could not post, from its trace
      receiver.Tally().SetNotPosted(vf::host::NotPostedInThisRun(
          vf::host::LastTraceEntries(traceMutex, vf::kTraceCategoryGeneral, vf::kTraceEntryLimit)));
      traceRead = Clock::now();
    }
    if (options.countsEverySeconds > 0 && Clock::now() >= nextCounts) {
      status.Clear();
      std::fprintf(stderr, "%s\n", receiver.Tally().StatusLine(pluginStatus).c_str());
      nextCounts += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.countsEverySeconds));
    }
    status.Show(receiver.Tally().StatusLine(pluginStatus));
    if (pluginStatus == kStatusLinkFailed) break;
  }
  status.Clear();
  if (g_interrupted) std::fprintf(stderr, "ais-host: interrupted, stopping the plug-in\n");
  return pluginStatus;
}

void ExplainLinkFailure(const std::vector<std::string>& runEntries, const CCfgDevice& config) {
  if (config.m_nConnectionType == kConnectionTcpIp && config.m_nSocketType == kSocketTcp) {
    const std::string reach = vf::host::DescribeTcpReach(vf::ToUtf8(config.m_strHostAddress.View()),
                                                         static_cast<uint16_t>(config.m_nIpPort),
                                                         [] { return g_interrupted != 0; });
    if (!reach.empty()) std::fprintf(stderr, "ais-host: %s\n", reach.c_str());
  }
  std::fprintf(stderr, "ais-host: the plug-in could not open its device link. Check the receiver's settings and "
                       "that it is connected. The status trace says:\n");
  const auto shown = runEntries.size() > 6 ? runEntries.end() - 6 : runEntries.begin();
  for (auto entry = shown; entry != runEntries.end(); ++entry) {
    std::fprintf(stderr, "  %s\n", vf::host::ReadableEntry(*entry).c_str());
  }
  if (runEntries.empty()) {
    std::fprintf(stderr, "  (nothing: %s cannot be read)\n", vf::host::TraceFile(vf::kTraceCategoryGeneral).string().c_str());
  }
}

int Run(const vf::host::HostOptions& options) {
  // The host owns the trace mutex and folder; both must exist before the
  // plug-in loads.
  VfNamedMutex* traceMutex = VfCreateNamedMutex(kAisTraceMutexName);
  std::string error;
  if (!vf::host::EnsureTracingFolder(error)) std::fprintf(stderr, "ais-host: warning: %s\n", error.c_str());
  HostWindow window = VfCreateWindow(u"AIS Host");
  HostWindow monitor = options.monitor ? VfCreateWindow(u"Communications Monitor") : nullptr;
  vf::host::PluginLibrary plugin;
  vf::host::EmbeddedFeed simulator;
  const auto close = [&](int exitCode) {
    plugin.Unload();
    vf::host::UnmapSerialDevice();
    if (monitor != nullptr) VfDestroyWindow(monitor);
    VfDestroyWindow(window);
    VfCloseNamedMutex(traceMutex);
    return exitCode;
  };
  if (!plugin.Load(options.pluginPath, error)) {
    std::fprintf(stderr, "ais-host: %s (give the path of the plug-in library with --plugin)\n", error.c_str());
    return close(kExitLoad);
  }
  const vf::host::PluginExports& api = plugin.Exports();
  uint32_t type = 0, pluginStatus = 0;
  api.get_Type(&type);
  api.get_Status(&pluginStatus);
  std::fprintf(stderr, "%s %s (%s), type %u, status %u\n", Text(api.get_Name).c_str(), Text(api.get_Version).c_str(),
               Text(api.get_Desc).c_str(), type, pluginStatus);

  CCfgDevice config;
  api.get_Config(&config);
  vf::host::ApplyHostOptions(options, config);
  if (options.serialDevice) {
    int32_t port = 0;
    if (!vf::host::MapSerialDevice(*options.serialDevice, port, error)) {
      std::fprintf(stderr, "ais-host: %s\n", error.c_str());
      return close(kExitStart);
    }
    config.m_nSerialPort = port;
    std::fprintf(stderr, "serial device %s is COM%d for the plug-in\n", options.serialDevice->c_str(), port);
  }
  // The built-in feeds: the plug-in reads them as a TCP receiver on loopback.
  const auto readFeed = [&config, &simulator] {
    config.m_nConnectionType = kConnectionTcpIp;
    config.m_nSocketType = kSocketTcp;
    config.m_strHostAddress = u"127.0.0.1";
    config.m_nIpPort = simulator.Port();
  };
  const bool inputIsTerminal = vf::host::StandardInputIsTerminal();
  const std::optional<std::string> recording =
      vf::host::ReadsStandardInput(options, inputIsTerminal) ? std::optional<std::string>("-") : options.recording;
  if (recording) {
    if (!simulator.StartRecording(*recording, options.replayRate, options.ownPace, error)) {
      std::fprintf(stderr, "ais-host: %s\n", error.c_str());
      return close(kExitStart);
    }
    readFeed();
    std::fprintf(stderr, "%s is served on tcp://127.0.0.1:%u\n",
                 *recording == "-" ? "standard input" : ("the recording " + *recording).c_str(), simulator.Port());
  } else if (vf::host::UsesBuiltInSimulator(options, inputIsTerminal)) {
    if (!simulator.Start(options.vessels, options.simulatorRate, error)) {
      std::fprintf(stderr, "ais-host: the built-in simulator could not start: %s\n", error.c_str());
      return close(kExitStart);
    }
    readFeed();
    std::fprintf(stderr, "no receiver given: the built-in simulator (%zu stations) serves tcp://127.0.0.1:%u\n",
                 options.vessels, simulator.Port());
  }
  api.put_Config(&config);
  if (options.configure && api.ConfigurePlugin() != 0) {
    std::fprintf(stderr, "ais-host: the configuration dialog was cancelled or cannot be shown here; the "
                         "configuration stays as it was\n");
  }
  CCfgDevice readBack;
  api.get_Config(&readBack);
  std::fprintf(stderr, "configuration: %s\n", DescribeConfig(readBack).c_str());
  if (options.noStart) {
    std::fprintf(stdout, "%s\n", vf::host::ConfigJson(readBack).c_str());
    return close(kExitOk);
  }

  api.put_Parent(window);
  const auto before = vf::host::LastTraceEntries(traceMutex, vf::kTraceCategoryGeneral, 1);
  const int64_t traceStart = before.empty() ? 0 : vf::host::EntryNumber(before.back());
  if (api.StartPlugin() != 0) {
    std::fprintf(stderr, "ais-host: the plug-in did not start\n");
    return close(kExitStart);
  }
  std::fprintf(stderr, "started%s\n", options.durationSeconds > 0 ? "" : "; Ctrl-C stops");
  StatusLine status;
  Receiver receiver(window, options, status);
  if (recording) receiver.ExpectEndOfInputMarker();
  int exitCode = kExitOk;
  const bool linkFailed = RunUntilDone(api, options, receiver, status, traceMutex, simulator) == kStatusLinkFailed;
  const int32_t stopped = api.StopPlugin();
  // The status trace once after the stop: what this run said, and its count of records not posted.
  const auto entries = vf::host::LastTraceEntries(traceMutex, vf::kTraceCategoryGeneral, vf::kTraceEntryLimit);
  const auto runEntries = vf::host::PluginEntriesAfter(entries, traceStart);
  // Also when the time ran out while the link was still being opened (the
  // stop cut the open short, so the trace says how far it came).
  if (linkFailed || (!runEntries.empty() && !vf::host::LinkOpened(runEntries))) {
    ExplainLinkFailure(runEntries, readBack);
    exitCode = kExitLinkFailed;
  }
  receiver.Pump(0);
  receiver.Tally().SetNotPosted(vf::host::NotPostedInThisRun(entries));
  api.get_Status(&pluginStatus);
  std::fprintf(stderr, "stopped: result %d, status %u; %s\n", stopped, pluginStatus,
               receiver.Tally().Summary().c_str());
  if (receiver.Unprinted() > 0 && g_interrupted) {
    std::fprintf(stderr, "ais-host: %zu records that came after Ctrl-C were counted, not printed\n", receiver.Unprinted());
  }
  // With COUNTS in the options: what the plug-in dropped, by cause.
  for (const std::string& entry : runEntries) {
    if (const size_t at = entry.find("] Dropped during this run: "); at != std::string::npos) {
      std::fprintf(stderr, "%s\n", entry.c_str() + at + 2);
    }
  }
  if (stopped != 0 && exitCode == kExitOk) exitCode = kExitStop;
  api.put_Parent(nullptr);
  if (stopped != 0) {
    // Its threads may still run in the library, and may still use the
    // window and the mutex: everything stays until the process ends.
    std::fprintf(stderr, "ais-host: the plug-in's threads did not stop; it stays loaded until ais-host ends\n");
    plugin.Abandon();
    return exitCode;
  }
  return close(exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = vf::host::ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "ais-host: %s\n", error.c_str());
    return kExitUsage;
  }
  if (options->showHelp) {
    std::fputs(vf::host::HostUsage().c_str(), stdout);
    return kExitOk;
  }
  if (options->showVersion) {
    std::printf("%s\n", vf::host::HostVersion().c_str());
    return kExitOk;
  }
  vf::host::OnStopSignals(OnInterrupt);
  return Run(*options);
}
