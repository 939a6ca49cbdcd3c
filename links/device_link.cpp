// The one link that the device configuration selects, behind one interface.
#include "links/device_link.h"

#include <new>

#include "links/serial_line_link.h"
#include "links/tcp_line_link.h"
#include "links/udp_line_link.h"

namespace vf::links {

CDeviceLink::CDeviceLink()
    : m_pSerial(new (std::nothrow) CMFCSerial),
      m_pTcp(new (std::nothrow) CTcp),
      m_pUdp(new (std::nothrow) CUdp),
      m_pUdpRemote(new (std::nothrow) CUdp) {}

bool CDeviceLink::HasLinkObjects() const { return m_pSerial != nullptr && m_pTcp != nullptr && m_pUdp != nullptr; }

int32_t CDeviceLink::OpenDeviceLink(const CCfgDevice& config, const vf::FeedOptions& options,
                                    const vf::TraceWriter& trace, const std::atomic<bool>& stopRequested,
                                    vf::platform::Handle stopEvent) {
  m_pLink.reset();
  if (!HasLinkObjects()) return -1;
  if (config.m_nConnectionType == kConnectionSerial) {
    m_pLink.reset(new (std::nothrow) SerialLineLink(*m_pSerial));
  } else if (config.m_nConnectionType == kConnectionTcpIp && config.m_nSocketType == kSocketTcp) {
    m_pLink.reset(new (std::nothrow) TcpLineLink(*m_pTcp));
  } else if (config.m_nConnectionType == kConnectionTcpIp && config.m_nSocketType == kSocketUdp) {
    m_pLink.reset(new (std::nothrow) UdpLineLink(*m_pUdp, m_pUdpRemote.get()));
  }
  if (m_pLink == nullptr) return -1;
  return m_pLink->Open({config, options, trace, stopRequested, stopEvent});
}

int32_t CDeviceLink::WaitForDeviceData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent) {
  LineLink* link = Running();
  return link != nullptr ? link->Wait(controlEvent, auxEvent) : -1;
}

int32_t CDeviceLink::ReadDeviceLine(CWideString& line, vf::platform::Handle stopEvent) {
  std::string_view bytes;
  const int32_t result = ReadDeviceLine(bytes, stopEvent);
  m_lineText.Set(bytes, line);
  return result;
}

int32_t CDeviceLink::ReadDeviceLine(std::string_view& line, vf::platform::Handle stopEvent) {
  line = {};
  LineLink* link = Running();
  return link != nullptr ? link->ReadLine(line, stopEvent) : -1;
}

int64_t CDeviceLink::LostBelow() const {
  const LineLink* link = Running();
  return link != nullptr ? link->LostBelow() : 0;
}

void CDeviceLink::CloseDeviceLink(const vf::TraceWriter& trace) {
  if (LineLink* link = Running()) link->Close(trace);
}

}  // namespace vf::links
