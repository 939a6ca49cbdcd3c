// The TCP client and the UDP session against real loopback sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "links/error_text.h"
#include "links/tcp_client.h"
#include "links/udp_session.h"
#include "platform/event.h"
#include "platform/system_calls.h"
#include "support/loopback.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string Text(const CWideString& line) { return std::string(line.View().begin(), line.View().end()); }

struct Events {
  Events() : control(vf::platform::CreateManualResetEvent()), aux(vf::platform::CreateManualResetEvent()) {}
  ~Events() {
    vf::platform::CloseEvent(control);
    vf::platform::CloseEvent(aux);
  }
  vf::platform::Handle control, aux;
};

TEST(TcpLink, LinesEndAtCarriageReturnOrLineFeed) {
  vf::test::TcpServer server;
  CTcp tcp;
  ASSERT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
  ASSERT_TRUE(server.Accept());
  server.Send("AB\r\nXY\n");
  Events events;
  CWideString line;
  for (const char* expected : {"AB", "", "XY"}) {
    ASSERT_EQ(tcp.WaitForData(events.control, events.aux), 0);
    EXPECT_EQ(tcp.ReadLine(line), 0);
    EXPECT_EQ(Text(line), expected);
  }
}

TEST(TcpLink, SilenceEndsTheLineAfterASecond) {
  vf::test::TcpServer server;
  CTcp tcp;
  ASSERT_EQ(tcp.Connect("localhost", server.Port()), 0);
  ASSERT_TRUE(server.Accept());
  server.Send(std::string("A\0B", 3));
  CWideString line;
  const auto start = steady_clock::now();
  EXPECT_EQ(tcp.ReadLine(line), -1);
  EXPECT_GE(steady_clock::now() - start, milliseconds(950));
  EXPECT_EQ(Text(line), "AB");
}

// A longer line keeps its first 2047 characters; the next line is whole.
TEST(TcpLink, ALineLongerThanTheLineAreaIsCut) {
  vf::test::TcpServer server;
  CTcp tcp;
  ASSERT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
  ASSERT_TRUE(server.Accept());
  server.Send(std::string(3000, 'X') + "\r\nNEXT\r\n");
  CWideString line;
  EXPECT_EQ(tcp.ReadLine(line), 0);
  EXPECT_EQ(Text(line), std::string(2047, 'X'));
  EXPECT_EQ(tcp.ReadLine(line), 0);
  EXPECT_EQ(tcp.ReadLine(line), 0);
  EXPECT_EQ(Text(line), "NEXT");
}

// The stop does not wait out the second a line's end may take.
TEST(TcpLink, AStopEndsTheWaitForTheRestOfALine) {
  vf::test::TcpServer server;
  CTcp tcp;
  ASSERT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
  ASSERT_TRUE(server.Accept());
  server.Send("!AIVDM,1,1,,A,13");
  Events events;
  vf::platform::SetEvent(events.control);
  std::string_view line;
  const auto start = steady_clock::now();
  EXPECT_EQ(tcp.ReadLineBytes(line, events.control), -1);
  EXPECT_LT(steady_clock::now() - start, milliseconds(100));
}

TEST(TcpLink, AClosedPeerMakesTheWaitRunOutInsteadOfSpinning) {
  vf::test::TcpServer server;
  CTcp tcp;
  ASSERT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
  ASSERT_TRUE(server.Accept());
  server.Hangup();
  Events events;
  const auto start = steady_clock::now();
  EXPECT_EQ(tcp.WaitForData(events.control, events.aux), -1);
  EXPECT_GE(steady_clock::now() - start, milliseconds(450));
  EXPECT_EQ(tcp.m_bConnected, 1) << "a lost connection changes nothing until Close";
}

// The stop signal comes from another thread while the wait runs (or just
// before it): the wait ends with it, long before its 500 ms time-out.
template <typename Link>
void ExpectAStopSignalEndsTheWait(Link& link) {
  Events events;
  const auto started = steady_clock::now();
  std::thread stopper([&] { vf::platform::SetEvent(events.control); });
  EXPECT_EQ(link.WaitForData(events.control, events.aux), 1);
  stopper.join();
  EXPECT_LT(steady_clock::now() - started, milliseconds(400));
}

TEST(TcpLink, WaitsEndOnTheControlEvents) {
  vf::test::TcpServer server;
  CTcp tcp;
  Events events;
  EXPECT_EQ(tcp.WaitForData(events.control, events.aux), -1) << "not connected: at once";
  ASSERT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
  ExpectAStopSignalEndsTheWait(tcp);
  vf::platform::SetEvent(events.aux);
  EXPECT_EQ(tcp.WaitForData(events.control, events.aux), 2);
  vf::platform::SetEvent(events.control);
  EXPECT_EQ(tcp.WaitForData(events.control, events.aux), 1);
}

TEST(TcpLink, ConnectingWhileConnectedClosesTheConnection) {
  vf::test::TcpServer server;
  CTcp tcp;
  ASSERT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
  EXPECT_EQ(tcp.Connect("127.0.0.1", server.Port()), -1);
  EXPECT_EQ(tcp.m_hSocket, vf::platform::kNoSocket);
  EXPECT_EQ(tcp.m_bConnected, 0);
  EXPECT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
}

TEST(TcpLink, AnUnknownHostIsNotResolved) {
  CTcp tcp;
  EXPECT_EQ(tcp.Connect("no-such-host.invalid", 10110), kTcpHostUnresolved);
  EXPECT_EQ(tcp.m_hSocket, vf::platform::kNoSocket);
}

TEST(UdpLink, ADatagramIsOneTextLineEndsIncluded) {
  const uint16_t port = vf::test::UnusedUdpPort();
  CUdp udp;
  ASSERT_EQ(udp.Bind(port), 0);
  Events events;
  ASSERT_TRUE(vf::test::SendDatagram(port, "!AIVDM,1\r\n!AIVDM,2\r\n"));
  ASSERT_EQ(udp.WaitForData(events.control, events.aux), 0);
  CWideString text;
  EXPECT_EQ(udp.ReadDatagram(text), 0);
  EXPECT_EQ(Text(text), "!AIVDM,1\r\n!AIVDM,2\r\n");
  ASSERT_TRUE(vf::test::SendDatagram(port, std::string(3000, 'x')));
  ASSERT_EQ(udp.WaitForData(events.control, events.aux), 0);
  EXPECT_EQ(udp.ReadDatagram(text), -1) << "longer than the 2048-byte area";
}

// Another program that binds the session's port, asking for reuse as the
// contract's own session does, is refused while the session holds it; with
// the contract's shared port (UDPEXCLUSIVE=0) it could take the datagrams.
TEST(UdpLink, ASecondProgramCannotTakeTheSessionsPort) {
  for (const bool exclusive : {true, false}) {
    SCOPED_TRACE(exclusive ? "exclusive" : "shared");
    const uint16_t port = vf::test::UnusedUdpPort();
    CUdp udp;
    udp.UsePort(exclusive, 0);
    ASSERT_EQ(udp.Bind(port), 0);
    const int other = socket(AF_INET, SOCK_DGRAM, 0);
    const int reuse = 1;
    setsockopt(other, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    EXPECT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, !exclusive);
    close(other);
  }
}

// By default the buffer holds a second of 5,000 lines/s: a burst that the
// reader does not take at once is all there when it does. (Past Linux's
// net.core.rmem_max only with CAP_NET_ADMIN, as the test runs in CI.)
TEST(UdpLink, TheReceiveBufferHoldsASecondOfABusyFeed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs CAP_NET_ADMIN to pass net.core.rmem_max";
  constexpr int kLinesInASecond = 5000;
  const uint16_t port = vf::test::UnusedUdpPort();
  CUdp udp;
  udp.UsePort(true, 1024 * 1024);
  ASSERT_EQ(udp.Bind(port), 0);
  EXPECT_GE(udp.GrantedReceiveBuffer(), 1024 * 1024);
  const std::string sentence = "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15\r\n";
  for (int i = 0; i < kLinesInASecond; ++i) ASSERT_TRUE(vf::test::SendDatagram(port, sentence));
  CWideString text;
  int read = 0;
  while (udp.ReadDatagram(text) == 0) ++read;
  EXPECT_EQ(read, kLinesInASecond);
  EXPECT_EQ(udp.SystemDropped(), 0);
}

// A flood the socket has no room for: what the system dropped is counted,
// so that every datagram sent is either read or counted.
TEST(UdpLink, DatagramsTheSystemDroppedAreCounted) {
  constexpr int kSent = 300;
  const uint16_t port = vf::test::UnusedUdpPort();
  CUdp udp;
  ASSERT_EQ(udp.Bind(port), 0);
  for (int i = 0; i < kSent; ++i) ASSERT_TRUE(vf::test::SendDatagram(port, "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15\r\n"));
  CWideString text;
  int64_t read = 0;
  while (udp.ReadDatagram(text) == 0) ++read;
  EXPECT_GT(udp.SystemDropped(), 0) << "4096 bytes of receive buffer hold far fewer than " << kSent;
  EXPECT_EQ(read + udp.SystemDropped(), kSent);
}

TEST(UdpLink, OnlyTheLow16BitsOfThePortCount) {
  CUdp udp;
  EXPECT_EQ(udp.Bind(65536), 0) << "port 0: the system picks one";
  ExpectAStopSignalEndsTheWait(udp);
  EXPECT_EQ(udp.Bind(65536), -1) << "a second bind closes the socket";
  EXPECT_EQ(udp.m_hSocket, vf::platform::kNoSocket);
}

// A session that was never bound has nothing to wait on or read.
TEST(UdpLink, AnUnboundSessionNeitherWaitsNorReads) {
  CUdp udp;
  CWideString text(u"left over");
  std::string_view bytes = "left over";
  EXPECT_EQ(udp.WaitForData(vf::platform::InvalidHandle(), vf::platform::InvalidHandle()), -1);
  EXPECT_EQ(udp.ReadDatagram(text), -1);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(udp.ReadDatagramBytes(bytes), -1);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(udp.SystemDropped(), 0);
}

TEST(UdpLink, ARemotePeerThatDoesNotResolveKeepsItsSocketUntilClose) {
  CUdp remote;
  EXPECT_EQ(remote.Connect("no-such-host.invalid", 10110), kUdpBindFailed);
  EXPECT_NE(remote.m_hSocket, vf::platform::kNoSocket);
  remote.Close();
  EXPECT_EQ(remote.m_hSocket, vf::platform::kNoSocket);
  // The socket is connected to the peer's host and port, as the system says.
  vf::test::HeldUdpPort peer;
  EXPECT_EQ(remote.Connect("127.0.0.1", peer.Port()), 0);
  sockaddr_in connected{};
  socklen_t length = sizeof connected;
  ASSERT_EQ(getpeername(static_cast<int>(remote.m_hSocket), reinterpret_cast<sockaddr*>(&connected), &length), 0);
  EXPECT_EQ(ntohs(connected.sin_port), peer.Port());
  EXPECT_EQ(ntohl(connected.sin_addr.s_addr), INADDR_LOOPBACK);
  EXPECT_EQ(remote.Connect("127.0.0.1", peer.Port()), kUdpSocketFailed) << "the open socket stays";
}

// Each socket call that can fail, failing: the code the trace then shows, and
// no socket left open.
TEST(NetworkLinks, AFailingSystemCallGivesItsOwnCode) {
  using vf::platform::SystemCalls;
  using Fault = void (*)(SystemCalls&);
  const struct {
    const char* what;
    Fault fault;
    int32_t tcp, udp, udpRemote;  // the remote peer's socket keeps what it made until Close
  } cases[] = {
      {"socket layer", [](SystemCalls& c) { c.startSocketLayer = [] { return false; }; }, kTcpStartupFailed,
       kUdpStartupFailed, kUdpStartupFailed},
      {"socket", [](SystemCalls& c) { c.openSocket = [](vf::platform::SocketKind) { return vf::platform::kNoSocket; }; },
       kTcpSocketFailed, kUdpSocketFailed, kUdpSocketFailed},
      {"reuse flag", [](SystemCalls& c) { c.setAddressReuse = [](vf::platform::Socket) { return false; }; },
       kTcpReuseFlagFailed, kUdpReuseFlagFailed, 0},
      {"blocking flag", [](SystemCalls& c) { c.setNonBlocking = [](vf::platform::Socket) { return false; }; },
       kTcpBlockingFlagFailed, kUdpBlockingFlagFailed, 0},
      {"name lookup",
       [](SystemCalls& c) {
         c.lookUpAddress = [](const vf::platform::NameQuery&, vf::platform::SocketAddress&,
                              const vf::platform::Abandon&) { return false; };
       },
       kTcpHostUnresolved, kUdpBindFailed, kUdpBindFailed},
  };
  vf::test::TcpServer server;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.fault(vf::platform::ActiveSystemCalls());
    CTcp tcp;
    CUdp udp;
    EXPECT_EQ(tcp.Connect("127.0.0.1", server.Port()), c.tcp);
    EXPECT_EQ(udp.Bind(0, "127.0.0.1"), c.udp);
    EXPECT_EQ(tcp.m_hSocket, vf::platform::kNoSocket);
    EXPECT_EQ(udp.m_hSocket, vf::platform::kNoSocket);
    CUdp remote;
    EXPECT_EQ(remote.Connect("127.0.0.1", server.Port()), c.udpRemote);
    remote.Close();
    EXPECT_EQ(remote.m_hSocket, vf::platform::kNoSocket);
    vf::platform::ActiveSystemCalls() = vf::platform::NativeSystemCalls();
  }
}

}  // namespace
