// Starts the plug-in against a receiver whose name only a name server that
// never answers could resolve, stops it while the lookup waits, and prints
// how long the stop took. It makes its own mount and network namespaces, so
// that its resolver configuration and its silent name server on 127.0.0.1:53
// are seen by nothing else on the machine.
//
// Usage: stop_during_lookup tcp|udp-peer|udp-bind|udp-sources|host
// ("host": ais-host against that receiver, interrupted with Ctrl-C while a
// lookup waits, its own included.)
// Exit status: 0 the stop returned 0 within the limit; 1 it did not;
// 2 the namespaces could not be made (the output says why).
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <signal.h>
#include <sys/wait.h>

#include "plugin/ais_app.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "support/trace_folder.h"

namespace {

constexpr int kStopLimitMs = 100;
constexpr int kQueryWaitMs = 10000;
constexpr const char* kReceiverName = "ais-receiver.example";

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out.flush());
}

int Fail(const char* what) {
  std::printf("%s: %s\n", what, std::strerror(errno));
  return 2;
}

// Namespaces of this process's own: the machine's root may make them
// directly; anyone else through a user namespace of their own.
int EnterPrivateNamespaces() {
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) {
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0) return Fail("unshare");
    if (!WriteFile("/proc/self/setgroups", "deny") ||
        !WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      return Fail("user namespace maps");
    }
  }
  if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return Fail("private mounts");
  const int probe = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq loopback{};
  std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
  const bool up = probe >= 0 && ioctl(probe, SIOCGIFFLAGS, &loopback) == 0 &&
                  (loopback.ifr_flags |= IFF_UP, ioctl(probe, SIOCSIFFLAGS, &loopback) == 0);
  if (probe >= 0) close(probe);
  return up ? 0 : Fail("loopback up");
}

// Name lookups go to 127.0.0.1 only, and wait long for an answer.
int UseSilentResolver(const std::string& folder) {
  const std::string resolver = folder + "/resolv.conf";
  const std::string services = folder + "/nsswitch.conf";
  if (!WriteFile(resolver, "nameserver 127.0.0.1\noptions timeout:30 attempts:2\n") ||
      !WriteFile(services, "hosts: files dns\n")) {
    return Fail("resolver files");
  }
  if (mount(resolver.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) return Fail("bind resolv.conf");
  if (mount(services.c_str(), "/etc/nsswitch.conf", nullptr, MS_BIND, nullptr) != 0) return Fail("bind nsswitch.conf");
  return 0;
}

// A name server that takes queries and never answers them.
int SilentServerSocket(int type) {
  const int fd = socket(AF_INET, type, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(53);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return -1;
  if (type == SOCK_STREAM && listen(fd, 8) != 0) return -1;
  return fd;
}

// ais-host against the receiver: the plug-in's lookup waits first; after
// Ctrl-C the host's own explanation of the failed link must not wait either.
int InterruptTheHost(int udpServer) {
  constexpr int kHostLimitMs = 1000;
  const pid_t host = vf::test::Spawn({AIS_HOST_PATH, "--plugin", AIS_PLUGIN_PATH, "--tcp", kReceiverName, "--port",
                                      "10110", "--quiet"},
                                     {}, {.output = "/dev/null", .errors = "/dev/null"});
  pollfd query{udpServer, POLLIN, 0};
  if (host <= 0 || poll(&query, 1, kQueryWaitMs) != 1) {
    std::printf("ais-host did not look the receiver up\n");
    if (host > 0) kill(host, SIGKILL);
    return 1;
  }
  const auto before = std::chrono::steady_clock::now();
  kill(host, SIGINT);
  int status = 0;
  for (;;) {
    if (waitpid(host, &status, WNOHANG) == host) break;
    if (std::chrono::steady_clock::now() - before > std::chrono::milliseconds(kQueryWaitMs)) {
      kill(host, SIGKILL);
      waitpid(host, &status, 0);
      break;
    }
    poll(nullptr, 0, 5);
  }
  const auto tookMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count();
  std::printf("ais-host ended %lld ms after Ctrl-C\n", static_cast<long long>(tookMs));
  return tookMs <= kHostLimitMs ? 0 : 1;
}

CCfgDevice ConfigFor(const std::string& mode) {
  const auto receiver = u"ais-receiver.example";
  if (mode == "tcp") {
    CCfgDevice config = vf::test::TcpClientConfig(10110);
    config.m_strHostAddress = receiver;
    return config;
  }
  if (mode == "udp-peer") {
    CCfgDevice config = vf::test::UdpSessionConfig(vf::test::UnusedUdpPort());
    config.m_strHostAddress = receiver;
    config.m_nRemoteIpPort = 10111;
    return config;
  }
  if (mode == "udp-bind") return vf::test::UdpSessionConfig(vf::test::UnusedUdpPort(), u"UDPBIND=ais-receiver.example;");
  return vf::test::UdpSessionConfig(vf::test::UnusedUdpPort(), u"UDPSOURCES=ais-receiver.example;");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "tcp";
  if (const int failed = EnterPrivateNamespaces(); failed != 0) return failed;
  vf::test::TraceFolder folder;
  if (const int failed = UseSilentResolver(folder.TracingFolder().string()); failed != 0) return failed;
  const int udpServer = SilentServerSocket(SOCK_DGRAM);
  const int tcpServer = SilentServerSocket(SOCK_STREAM);
  if (udpServer < 0 || tcpServer < 0) return Fail("name server sockets");
  if (mode == "host") return InterruptTheHost(udpServer);

  vf::test::RecordSink sink;
  CAISApp app;
  app.PutParent(sink.Window());
  app.PutConfig(ConfigFor(mode));
  if (app.StartPlugin() != 0) {
    std::printf("the plug-in did not start\n");
    return 1;
  }
  pollfd query{udpServer, POLLIN, 0};
  if (poll(&query, 1, kQueryWaitMs) != 1) {
    std::printf("no query for %s reached the name server\n", kReceiverName);
    app.StopPlugin();
    return 1;
  }
  const auto before = std::chrono::steady_clock::now();
  const int32_t stopped = app.StopPlugin();
  const auto tookMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count();
  std::printf("StopPlugin returned %d after %lld ms\n", stopped, static_cast<long long>(tookMs));
  const bool failureTraced = vf::test::StatusCountStartingWith(folder, "Failed") != 0;
  if (failureTraced) std::printf("a failure was traced although the stop cut the lookup short\n");
  for (const std::string& message : vf::test::StatusMessages(folder)) std::printf("  trace: %s\n", message.c_str());
  return stopped == 0 && tookMs <= kStopLimitMs && !failureTraced ? 0 : 1;
}
