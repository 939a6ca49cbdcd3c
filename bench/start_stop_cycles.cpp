// Starts and stops the plug-in again and again on a UDP link, with a record
// through each run, and compares the process's threads and descriptors
// before and after. Each cycle takes about 1.5 s: the threads pause on their
// way out by design.
//
//   start_stop_cycles_bench [--cycles 1000]
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "payload_encoder.h"
#include "plugin/ais_app.h"
#include "vf_system.h"

namespace {

size_t EntriesIn(const char* folder) {
  size_t count = 0;
  if (DIR* dir = opendir(folder)) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count;
}

uint16_t FreeUdpPort(int& sender, sockaddr_in& target) {
  sender = socket(AF_INET, SOCK_DGRAM, 0);
  target = sockaddr_in{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof target;
  bind(sender, reinterpret_cast<sockaddr*>(&target), sizeof target);
  getsockname(sender, reinterpret_cast<sockaddr*>(&target), &length);
  close(sender);
  sender = socket(AF_INET, SOCK_DGRAM, 0);
  return ntohs(target.sin_port);
}

// Sends the sentence until a record comes back (the socket binds after the start).
bool OneRecordThrough(HostWindow window, int sender, const sockaddr_in& target, const std::string& sentence) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    sendto(sender, sentence.data(), sentence.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    VfMessage message{};
    if (VfGetMessage(window, &message, 20) == 1) {
      delete reinterpret_cast<CRawData*>(message.lParam);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int cycles = 1000;
  if (argc == 3 && std::string(argv[1]) == "--cycles") cycles = std::atoi(argv[2]);
  if (cycles <= 0) {
    std::fprintf(stderr, "usage: start_stop_cycles_bench [--cycles N]\n");
    return 1;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string scratch = "/tmp/start-stop-cycles-" + std::to_string(getpid());
  setenv("PROGRAMDATA", scratch.c_str(), 1);  // no trace folder: nothing written
  HostWindow window = VfCreateWindow(u"start/stop cycles");
  CAISApp app;
  app.PutParent(window);
  const std::string sentence = vf::sim::VdmSentences("139>Jh501sOcIa0MqLt1j?wp0000", 0, -1, 'A')[0] + "\r\n";
  size_t threads = 0, descriptors = 0;
  int failures = 0;
  std::chrono::steady_clock::duration slowestStop{};
  const auto start = std::chrono::steady_clock::now();
  for (int cycle = 0; cycle <= cycles; ++cycle) {
    int sender = -1;
    sockaddr_in target{};
    CCfgDevice config;
    config.m_nConnectionType = kConnectionTcpIp;
    config.m_nSocketType = kSocketUdp;
    config.m_nIpPort = FreeUdpPort(sender, target);
    config.m_strOptions = u"CRC=0;";
    app.PutConfig(config);
    const bool started = app.StartPlugin() == 0;
    const bool through = started && OneRecordThrough(window, sender, target, sentence);
    const auto stopAsked = std::chrono::steady_clock::now();
    const bool stopped = app.StopPlugin() == 0;
    slowestStop = std::max(slowestStop, std::chrono::steady_clock::now() - stopAsked);
    close(sender);
    VfMessage message{};
    while (VfGetMessage(window, &message, 0) == 1) delete reinterpret_cast<CRawData*>(message.lParam);
    if (!started || !through || !stopped) ++failures;
    if (cycle == 0) {  // counted after the first cycle has made what is made once
      threads = EntriesIn("/proc/self/task");
      descriptors = EntriesIn("/proc/self/fd");
    } else if (cycle % 50 == 0 || cycle == cycles) {
      std::printf("%d cycles in %.0f s: %zu threads, %zu descriptors, %d failed\n", cycle,
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  EntriesIn("/proc/self/task"), EntriesIn("/proc/self/fd"), failures);
    }
  }
  const bool kept = EntriesIn("/proc/self/task") == threads && EntriesIn("/proc/self/fd") == descriptors;
  std::printf("%s: %zu threads and %zu descriptors after the first cycle, %zu and %zu after the last; %d failed\n",
              kept && failures == 0 ? "nothing leaked" : "LEAK OR FAILURE", threads, descriptors,
              EntriesIn("/proc/self/task"), EntriesIn("/proc/self/fd"), failures);
  std::printf("slowest stop: %.1f ms\n", std::chrono::duration<double, std::milli>(slowestStop).count());
  VfDestroyWindow(window);
  return kept && failures == 0 ? 0 : 1;
}
