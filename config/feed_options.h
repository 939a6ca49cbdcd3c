// What the option text can switch on beyond the plug-in's own behaviour, one
// "KEY=VALUE" entry each beside "CRC"; with none of them the plug-in behaves
// exactly as without. Keys are upper case; "1" switches a feature on.
//
//   TAGBLOCK=1     NMEA 4.0 tag blocks ("\s:2573135,c:1671620143*0A\" before
//                  the sentence): the tag block's checksum and the sentence's
//                  are tested apart (with CRC on), and the sentence decoded
//   TAGTIME=1      with TAGBLOCK: a tag block's c: time (UNIX seconds, or
//                  milliseconds) stamps the record instead of its arrival
//   OWNSHIP=1      !AIVDO sentences (the own ship's, from a transponder) are
//                  decoded too; their records carry kContentsOwnShip
//   TYPES=ALL      messages 9, 19, 21 and 27 are decoded as well
//   UDPLINES=1     a datagram is split at its line ends, and each line read
//                  as the serial and TCP links read theirs
//   FRAGMENTAGE=N  a sentence waiting for the rest of its message is dropped
//                  after N seconds (1 to 3600)
//   RECONNECT=1    a TCP connection the receiver closed, or a serial device
//                  that went away, is opened again with a back-off
//   UDPBIND=A      a UDP session binds the local address A instead of all
//   UDPSOURCES=L   a UDP session reads only datagrams from the hosts of the
//                  comma-separated list L, or with "PEER" from the configured
//                  host address; the others are counted and traced
//   COUNTS=STOP    the lines and messages dropped, by cause, are traced when
//                  a run ends; COUNTS=N (1 to 86400) also every N seconds
#pragma once

#include <cstdint>
#include <string_view>

namespace vf {

struct FeedOptions {
  bool tagBlocks = false;
  bool tagBlockTime = false;
  bool ownShip = false;
  bool allMessageTypes = false;
  bool datagramLines = false;
  uint32_t fragmentMaxAgeMs = 0;  // 0: fragments wait until newer ones push them out
  bool reconnect = false;
  bool dropCounts = false;
  uint32_t dropCountsEveryMs = 0;  // 0: only when the run ends

  static FeedOptions Of(std::u16string_view optionText);
};

}  // namespace vf
