// What the option text switches on or off beyond the CRC entry, one
// "KEY=VALUE" entry each. Keys are upper case.
//
// On unless switched off ("=0"), because real receivers need them:
//   TAGBLOCK       NMEA 4.0 tag blocks ("\s:2573135,c:1671620143*0A\" before
//                  the sentence) are split off; the tag block's checksum and
//                  the sentence's are tested apart (with CRC on)
//   UDPLINES       a datagram is split at its line ends, and each line read
//                  as the serial and TCP links read theirs
//   RECONNECT      a TCP connection the receiver closed, or a serial device
//                  that went away, is traced and opened again with a back-off;
//                  RECONNECT=2 also retries a first TCP connection that fails
//   COUNTS         the lines and messages dropped, by cause, are traced when
//                  a run ends (COUNTS=STOP, the default); COUNTS=N (1 to
//                  86400) also every N seconds
//   WHOLEBITS      a record is made only of bits that arrived, the sentences
//                  of a message join only in order on one channel, and the
//                  clock is anchored to UTC midnight
//   WALLCLOCK      the records' clock follows the system's: it is synchronised
//                  at each start, and again when the system's clock steps by
//                  more than 2 s against it (set by hand, or by NTP after boot)
//   TRACEREPLACE   a trace file takes each entry by being replaced in one
//                  step, so that a process killed meanwhile leaves the old
//                  file or the new one, never an empty one
//   WAITFORHOST    a record the host's window cannot take yet waits for room
//                  (up to 2 s) instead of being dropped
//   UDPEXCLUSIVE   a UDP session's port is its alone: another program cannot
//                  bind it too and take its datagrams unseen
//   UDPBUFFER      a UDP session's receive buffer holds N KiB of datagrams
//                  (UDPBUFFER=N, 1 to 65536; 1024 by default, a second of
//                  5,000 lines/s); UDPBUFFER=0 keeps the contract's 4 KiB
//   REFUSED        a TCP connection the receiver refuses fails at once
//                  instead of after the 5 s connection wait
//   LITERAL=1      all of the above off at once: the plug-in's contract to
//                  the letter; an entry of its own still switches one back on
//
// Off unless switched on, because they change what a host receives:
//   TAGTIME=1      with TAGBLOCK: a tag block's c: time (UNIX seconds, or
//                  milliseconds) stamps the record instead of its arrival
//   OWNSHIP=1      !AIVDO sentences (the own ship's, from a transponder) are
//                  decoded too; their records carry kContentsOwnShip
//   TYPES=ALL      messages 9, 19, 21 and 27 are decoded as well
//   FRAGMENTAGE=N  a sentence waiting for the rest of its message is dropped
//                  after N seconds (1 to 3600)
//   UDPBIND=A      a UDP session binds the local address A instead of all
//   UDPSOURCES=L   a UDP session reads only datagrams from the hosts of the
//                  comma-separated list L, or with "PEER" from the configured
//                  host address; the others are counted and traced
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vf {

struct FeedOptions {
  bool tagBlocks = true;
  bool tagBlockTime = false;
  bool ownShip = false;
  bool allMessageTypes = false;
  bool datagramLines = true;
  uint32_t fragmentMaxAgeMs = 0;  // 0: fragments wait until newer ones push them out
  bool reconnect = true;
  bool retryFirstConnect = false;  // RECONNECT=2
  bool dropCounts = true;
  uint32_t dropCountsEveryMs = 0;  // 0: only when the run ends
  bool wholeBits = true;           // no invented bits, in-order joins, UTC-anchored clock
  bool followWallClock = true;     // WALLCLOCK
  bool replaceTrace = true;        // TRACEREPLACE
  bool waitForHost = true;
  bool refusalEndsConnectWait = true;  // REFUSED
  bool udpExclusivePort = true;        // UDPEXCLUSIVE
  uint32_t udpReceiveBufferKiB = 1024;  // UDPBUFFER; 0: the contract's 4 KiB
  std::u16string udpBind;      // empty: every local address
  std::u16string udpSources;   // empty: every sender

  static FeedOptions Of(std::u16string_view optionText);
};

}  // namespace vf
