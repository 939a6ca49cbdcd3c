// Received bytes, cut into lines as a link cuts them, through the whole
// sentence path to records; every record posted is checked, taken and
// destroyed.
// Each input starts from an empty fragment store, so that a saved finding
// reproduces on its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "datapath/sentence_path.h"
#include "vf_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const HostWindow window = VfCreateWindow(u"fuzz host");
  static const vf::TraceWriter trace(u"AIS");
  static CTimeStamping clock;
  vf::SentencePath path;
  // The first byte picks the checksum setting and the option entries of the
  // data path, before any line: payloads with any checksum reach the
  // decoders, tag blocks and own-ship sentences their parsers, sentences
  // both ways of joining.
  vf::PassSettings pass;
  const uint8_t settings = size > 0 ? data[0] : 0;
  pass.verifyChecksums = (settings & 1) == 0;
  pass.feed.tagBlocks = (settings & 2) != 0;
  pass.feed.tagBlockTime = (settings & 4) != 0;
  pass.feed.ownShip = (settings & 8) != 0;
  pass.feed.allMessageTypes = (settings & 16) != 0;
  pass.feed.fragmentMaxAgeMs = (settings & 32) != 0 ? 1000 : 0;
  pass.feed.dropCounts = (settings & 64) != 0;
  pass.feed.wholeBits = (settings & 128) == 0;  // the contract's rules too
  pass.feed.waitForHost = false;  // the queue is emptied after the input, not while it runs
  const vf::LineContext context{trace, window, &clock, pass};
  // The bytes as a link hands them over: cut at each line end.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (size_t begin = 0; begin <= size;) {
    const size_t end = std::min(bytes.find_first_of("\r\n", begin), size);
    path.HandleReceivedLine(bytes.substr(begin, end - begin), context);
    begin = end + 1;
  }
  path.EndOfRun(trace, pass.feed);
  // Whatever the bytes, the fragment store stays within its bound and every
  // record posted is an AIS record that names a station (MMSI not 0).
  if (path.Fragments().Size() > path.Fragments().Capacity()) __builtin_trap();
  VfMessage message{};
  while (VfGetMessage(window, &message, 0) == 1) {
    auto* record = reinterpret_cast<CRawData*>(message.lParam);
    if (record->m_nType != RAW_DATA_TYPE_AIS || static_cast<CRawDataAis*>(record)->m_nMMSI == 0) __builtin_trap();
    delete record;
  }
  return 0;
}
