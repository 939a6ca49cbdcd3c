// With "RECONNECT" in the option text (the default): a TCP connection that the receiver
// closed, or a serial device that went away, is opened again. The first
// attempt comes 3 s after the loss, each later one after twice the wait
// before, at most 30 s; the loss and every attempt are traced once, with the
// number of reconnects so far.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "diag/trace_writer.h"
#include "platform/handle.h"

namespace vf::links {

class LinkRecovery {
 public:
  static constexpr uint32_t kFirstWaitMs = 3000;
  static constexpr uint32_t kLongestWaitMs = 30000;
  static constexpr uint32_t kPassWaitMs = 500;  // the longest one pass waits, so the device loop sees its status

  // `what` names the link in the trace: "TCP [host] on port [n]", "serial port [COMn]".
  void Start(std::u16string what) {
    *this = LinkRecovery{};
    m_strWhat = std::move(what);
  }
  // A first connection that failed: the attempts follow as after a loss,
  // without a line that says one.
  void NotOpenYet(uint32_t nowMs) {
    m_bLost = true;
    m_nDueMs = nowMs + m_nWaitMs;
  }
  // One pass of the device loop while the link is lost: traces the loss the
  // first time, waits on `stopEvent` for at most 500 ms, and when the
  // attempt is due calls `reopen` (0, or the error code it failed with).
  // True when the link is open again.
  bool Pass(const TraceWriter& trace, platform::Handle stopEvent, const std::function<int32_t()>& reopen);

 private:
  std::u16string m_strWhat;
  bool m_bLost = false;
  uint32_t m_nWaitMs = kFirstWaitMs;
  uint32_t m_nDueMs = 0;
  uint32_t m_nReconnects = 0;
};

}  // namespace vf::links
