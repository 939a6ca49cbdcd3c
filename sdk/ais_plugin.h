// Host SDK of the Vestrafold AIS receiver plug-in.
//
// A host includes this header, loads the plug-in library by path, looks up the
// eleven exports by their plain names, and receives target records posted to
// its window. Everything here is a layout contract between host and plug-in:
// the record and configuration classes are read and written in place by both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "ais_shared_string.h"

// Records and the configuration cross to the host by pointer, with their
// virtual tables. Compilers for the Microsoft C++ ABI (the host's) and for
// Linux lay those out by themselves; GCC on Windows cannot give Microsoft's
// layout, so there the tables are laid out by hand (ais_msvc_abi.h, with
// ais_msvc_rtti.S linked into the module).
#if defined(_WIN32) && !defined(_MSC_VER)
#define AIS_MICROSOFT_TABLES 1
#include "ais_msvc_abi.h"
#define AIS_TABLE_BASE(slots) : public vf::msabi::TableObject<vf::msabi::slots>
#else
#define AIS_MICROSOFT_TABLES 0
#define AIS_TABLE_BASE(slots)
#endif

// ---------------------------------------------------------------------------
// Window messages
// ---------------------------------------------------------------------------

using HostWindow = void*;  // HWND on Windows, a window-registry handle on Linux

constexpr uint32_t kAisWmUser = 0x0400;          // WM_USER
constexpr uintptr_t kAisRecordWParam = 0x0432;   // wParam of every posted record
constexpr uint32_t kAisPluginType = 512;         // get_Type
constexpr const char16_t* kAisMonitorTitle = u"Communications Monitor";
constexpr const char16_t* kAisTraceMutexName = u"VestrafoldSurveyLog";

// ---------------------------------------------------------------------------
// Device configuration
// ---------------------------------------------------------------------------

enum ConnectionType : int32_t { kConnectionSerial = 0, kConnectionTcpIp = 1 };
enum SocketType : int32_t { kSocketTcp = 0, kSocketUdp = 1 };
constexpr int32_t kAisLastComPort = 256;  // m_nSerialPort names COM1 to COM256
enum SerialFormat : int32_t { kFormatN81 = 0, kFormatE71 = 1, kFormatN82 = 2, kFormatE72 = 3 };

// A data holder of the host framework; every record owns its own.
class CGlobalData AIS_TABLE_BASE(DestructorSlots) {
 public:
#if AIS_MICROSOFT_TABLES
  CGlobalData() : TableObject(&vf::msabi::kCGlobalDataTable.slots) { Reset(); }
#else
  CGlobalData() { Reset(); }
  virtual ~CGlobalData() = default;
#endif
  CGlobalData(const CGlobalData&) = delete;
  CGlobalData& operator=(const CGlobalData&) = delete;

  void Reset() {
    m_nFlags = 0;
    m_nIndex = 0;
    m_dOffset = 0.0;
    m_dSoundVelocity = 1500.0;
    m_strLabel.Empty();
    m_strComment.Empty();
  }

  int32_t m_nFlags = 0;
  int32_t m_nIndex = 0;
  double m_dOffset = 0.0;
  double m_dSoundVelocity = 1500.0;
  CWideString m_strLabel;
  CWideString m_strComment;
};

class CCfgDevice AIS_TABLE_BASE(DestructorSlots) {
 public:
#if AIS_MICROSOFT_TABLES
  CCfgDevice() : TableObject(&vf::msabi::kCCfgDeviceTable.slots), m_pGlobalData(new CGlobalData) {
    m_pGlobalData->Reset();
  }
  ~CCfgDevice() { delete m_pGlobalData; }
#else
  CCfgDevice() : m_pGlobalData(new CGlobalData) { m_pGlobalData->Reset(); }
  virtual ~CCfgDevice() { delete m_pGlobalData; }
#endif

  // Copies the eleven integers and the three strings; the owned global data
  // object stays the destination's own. Strings are assigned as CStringW
  // assigns them, through the destination's own string manager.
  CCfgDevice(const CCfgDevice& other) : CCfgDevice() { *this = other; }
  CCfgDevice& operator=(const CCfgDevice& other) {
    if (this == &other) return *this;
    m_nDeviceId = other.m_nDeviceId;
    m_nConnectionType = other.m_nConnectionType;
    m_nSerialPort = other.m_nSerialPort;
    m_nSerialSpeed = other.m_nSerialSpeed;
    m_nSerialFormat = other.m_nSerialFormat;
    m_nSocketType = other.m_nSocketType;
    m_nIpPort = other.m_nIpPort;
    m_nRemoteIpPort = other.m_nRemoteIpPort;
    m_nSpare = other.m_nSpare;
    m_nTimeOffset = other.m_nTimeOffset;
    m_nSerialTimeout = other.m_nSerialTimeout;
    m_strHostAddress = other.m_strHostAddress;
    m_strOptions = other.m_strOptions;
    m_strSpare = other.m_strSpare;
    return *this;
  }

  int32_t m_nDeviceId = 0;                        // copied into every record's m_nDeviceId
  int32_t m_nConnectionType = kConnectionSerial;  // serial, or TCP/IP (then m_nSocketType)
  int32_t m_nSerialPort = 0;                      // serial: COMn, 1 to 256 (0: none chosen)
  int32_t m_nSerialSpeed = 9600;                  // serial: bit/s, any the driver takes (receivers: 38400)
  int32_t m_nSerialFormat = kFormatN81;           // serial: frame, SerialFormat
  int32_t m_nSocketType = kSocketTcp;             // TCP/IP: a TCP client, or a UDP session
  int32_t m_nIpPort = 0;                          // TCP: the server's port; UDP: the local port; 1 to 65535
  int32_t m_nRemoteIpPort = 0;                    // UDP: the peer's port, 0 for no peer
  int32_t m_nSpare = 0;                           // kept, never read
  int32_t m_nTimeOffset = 0;                      // milliseconds, signed, added to every time stamp
  int32_t m_nSerialTimeout = 2000;                // kept; the serial link reads with 500 ms
  CGlobalData* m_pGlobalData;
  // TCP: the server's host name or address (required); UDP: the peer's,
  // with m_nRemoteIpPort (optional); serial: not read.
  CWideString m_strHostAddress;
  // Entries "KEY=VALUE" separated by ";". "CRC=1" (the default) tests each
  // sentence's checksum, any other value tests none.
  // On by default, because real receivers need them; "KEY=0" turns one off:
  //   WHOLEBITS      a record is made only of bits that arrived: a message
  //                  that ends before a field its record reads (a text may
  //                  lack its last character), a payload character outside
  //                  the six-bit armour, or a fill-bit count outside 0 to 5
  //                  gives no record; a sentence joins only the message whose
  //                  previous sentence was the last one on its radio channel,
  //                  with the same sequence id and count (so a message whose
  //                  sentences come out of order is lost, and two messages are
  //                  never joined); time stamps are anchored at UTC midnight,
  //                  so no day's change of the clocks enters them
  //   TAGBLOCK       NMEA 4.0 tag blocks before a sentence are split off, both
  //                  checksums tested apart; TAGTIME=1 then stamps m_dTime with
  //                  the tag block's c: time (UNIX seconds or milliseconds)
  //   UDPLINES       each line of a datagram is read and checked on its own
  //   RECONNECT      a TCP connection the receiver closed, or a serial device
  //                  that went away, is traced and opened again (after 3 s,
  //                  then with the wait doubled up to 30 s); RECONNECT=2 also
  //                  retries a first TCP connection that fails, status 1 meanwhile
  //   WAITFORHOST    a record the window's full queue cannot take waits up to
  //                  2 s for room (the link holds what comes meanwhile); only
  //                  then is it dropped, counted and traced
  //   REFUSED        a TCP connection the receiver refuses fails at once, not
  //                  after the 5 s connection wait (its code stays 10212)
  //   COUNTS         the lines and messages dropped during a run, by cause
  //                  (the system's own losses below the plug-in included), in
  //                  one "General" trace line when the run ends (COUNTS=STOP);
  //                  COUNTS=N (1 to 86400) also every N seconds while it runs
  //   LITERAL=1      all of these off at once: the plug-in as its contract
  //                  has it to the letter (an entry of its own still turns one
  //                  back on)
  // Off by default, because they change what a host receives:
  //   OWNSHIP=1      !AIVDO sentences decoded, their records marked with
  //                  kContentsOwnShip in m_nContents
  //   TYPES=ALL      messages 9, 19, 21 and 27 decoded as well (AisContents)
  //   FRAGMENTAGE=N  a sentence waiting for its message's others is dropped
  //                  after N seconds (1 to 3600)
  //   UDPBIND=A      a UDP session binds local address A only
  //   UDPSOURCES=L   a UDP session reads datagrams only from the hosts of the
  //                  comma-separated list L ("PEER": m_strHostAddress)
  // Options that the data path reads (CRC, WHOLEBITS, WAITFORHOST, TAGBLOCK,
  // TAGTIME, OWNSHIP, TYPES, FRAGMENTAGE, COUNTS) take effect at the next line
  // when given while running (the clock's anchor at the next start); the
  // link's (UDPLINES, UDPBIND, UDPSOURCES, RECONNECT) at the next start.
  CWideString m_strOptions;
  CWideString m_strSpare;
};

// The classes have virtual tables, so offsetof is conditionally supported;
// every compiler a host uses supports it for these single-inheritance types.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(offsetof(CCfgDevice, m_nDeviceId) == 8, "integers follow the table pointer");
static_assert(offsetof(CCfgDevice, m_nSerialTimeout) == 8 + 10 * 4, "eleven int32 in order");
static_assert(offsetof(CCfgDevice, m_pGlobalData) == 56, "owned global data after the integers");
static_assert(offsetof(CCfgDevice, m_strHostAddress) == 64, "three strings close the record");
static_assert(offsetof(CCfgDevice, m_strSpare) == 80, "three strings close the record");
static_assert(sizeof(CCfgDevice) == 88, "configuration layout");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// ---------------------------------------------------------------------------
// Target records
// ---------------------------------------------------------------------------

constexpr uint16_t RAW_DATA_TYPE_AIS = 15;

// Which message filled a record (m_nContents). The last four come only with
// the option entry "TYPES=ALL"; kContentsOwnShip is a flag added to any of
// them for a record of an !AIVDO sentence (the own ship's), only with
// "OWNSHIP=1".
enum AisContents : uint16_t {
  kContentsPosition = 1,           // types 1, 2, 3
  kContentsBaseStation = 2,        // type 4
  kContentsStaticVoyage = 4,       // type 5
  kContentsClassBPosition = 8,     // type 18
  kContentsStaticPartA = 16,       // type 24 part A
  kContentsStaticPartB = 32,       // type 24 part B
  kContentsSarAircraft = 64,       // type 9: position, speed (whole knots) and course
  kContentsExtendedClassB = 128,   // type 19: position, speed, course, name, ship type, dimensions
  kContentsAidToNavigation = 256,  // type 21: name (with its extension), position, dimensions;
                                   // m_nShipType holds the type of aid (0 to 31)
  kContentsLongRange = 512,        // type 27: position to 1/10 minute, speed and course in whole units
  kContentsOwnShip = 0x8000,
};

// The reporting station (m_nClass); the last two come only with "TYPES=ALL".
enum AisStationClass : int32_t {
  kClassBaseStation = 0,
  kClassA = 1,
  kClassB = 2,
  kClassSarAircraft = 3,
  kClassAidToNavigation = 4,
};

constexpr uint32_t kDeviceIdCloneMask = 0x10000000;  // cleared in every clone

// Base of every record handed to the host. Records are released only through
// the virtual destructor, so the module that allocated one also frees it.
// Destroy every record, also those still queued at the window, before the
// plug-in library is unloaded: the destructor's code lives there.
// Table order: [0] destructor, [1] Clone.
class CRawData AIS_TABLE_BASE(RecordSlots) {
 public:
#if AIS_MICROSOFT_TABLES
  CRawData() : TableObject(&vf::msabi::kCRawDataTable.slots) {}
  CRawData* Clone() const { return m_pTable->clone(this); }
#else
  CRawData() = default;
  virtual ~CRawData() = default;
  virtual CRawData* Clone() const { return nullptr; }
#endif

  uint16_t m_nType = 0;
  uint16_t m_nContents = 0;
  int32_t m_nDeviceId = 0;
  // When the message's last sentence arrived, in UNIX seconds (UTC, to the
  // millisecond; with LITERAL=1 the contract's clock, anchored at local
  // midnight), with the configuration's time offset already added; with
  // TAGTIME=1 the tag block's c: time instead, offset added too.
  double m_dTime = 0.0;
  // That offset, in seconds (CCfgDevice::m_nTimeOffset / 1000: the
  // configuration gives it in milliseconds).
  double m_dTimeOffset = 0.0;
  uint64_t m_nReserved1 = 0;
  uint64_t m_nReserved2 = 0;

 protected:
#if AIS_MICROSOFT_TABLES
  explicit CRawData(const vf::msabi::RecordSlots* table) : TableObject(table) {}
#endif
  CRawData(const CRawData&) = default;
  CRawData& operator=(const CRawData&) = default;
};

class CRawDataAis : public CRawData {
 public:
#if AIS_MICROSOFT_TABLES
  CRawDataAis() : CRawData(&vf::msabi::kCRawDataAisTable.slots) { m_nType = RAW_DATA_TYPE_AIS; }
#else
  CRawDataAis() { m_nType = RAW_DATA_TYPE_AIS; }
  CRawData* Clone() const override { return CloneAis(); }
#endif

  // The fields a message does not carry keep the values given here. The
  // not-available codes of ITU-R M.1371 are passed on scaled like any other
  // value: longitude 181, latitude 91, speed 102.3, course 360, dimensions 0.
  uint32_t m_nMMSI = 0;             // the reporting station, never 0
  int32_t m_nTimeReceived = 0;      // UNIX seconds when the message was decoded
  int32_t m_nShipType = 0;          // ship and cargo type 0 to 255 (message 21: the type of aid)
  int32_t m_nNavStatus = 15;        // navigational status 0 to 15; 15 "not defined"
  int32_t m_nClass = kClassBaseStation;  // AisStationClass
  double m_dLatitude = 0.0;         // degrees, north positive
  double m_dLongitude = 0.0;        // degrees, east positive
  double m_dSpeed = 0.0;            // knots over ground
  double m_dCourse = 0.0;           // degrees over ground, from north
  double m_dToBow = 0.0;            // metres from the position reference
  double m_dToStern = 0.0;
  double m_dToPort = 0.0;
  double m_dToStarboard = 0.0;
  double m_dReserved = 0.0;         // always 0
  // Six-bit text as received: "@" padding arrives as U+0000 (the visible
  // text ends there) and trailing spaces stay.
  CWideString m_strCallSign;        // 7 characters
  CWideString m_strName;            // 20 characters (message 21: up to 34)
  CWideString m_strDestination;     // 20 characters

 private:
  CRawDataAis(const CRawDataAis&) = default;

  // Every field, strings included, except bit 28 of the device id.
  CRawDataAis* CloneAis() const {
    auto* copy = new (std::nothrow) CRawDataAis(*this);
    if (copy != nullptr) {
      copy->m_nDeviceId = static_cast<int32_t>(static_cast<uint32_t>(m_nDeviceId) & ~kDeviceIdCloneMask);
    }
    return copy;
  }
#if AIS_MICROSOFT_TABLES
  friend CRawData* vf::msabi::CloneRecord(const void* self);
#endif
};

#if AIS_MICROSOFT_TABLES
inline CRawData* vf::msabi::CloneRecord(const void* self) { return static_cast<const CRawDataAis*>(self)->CloneAis(); }
#endif

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(offsetof(CRawData, m_nType) == 8, "record fields follow the table pointer");
static_assert(offsetof(CRawData, m_nContents) == 10, "record layout");
static_assert(offsetof(CRawData, m_nDeviceId) == 12, "record layout");
static_assert(offsetof(CRawData, m_dTime) == 16, "record layout");
static_assert(offsetof(CRawData, m_dTimeOffset) == 24, "record layout");
static_assert(offsetof(CRawData, m_nReserved1) == 32, "record layout");
static_assert(offsetof(CRawData, m_nReserved2) == 40, "record layout");
static_assert(sizeof(CRawData) == 48, "record layout");
static_assert(offsetof(CRawDataAis, m_nMMSI) == 48, "AIS record layout");
static_assert(offsetof(CRawDataAis, m_nClass) == 64, "AIS record layout");
static_assert(offsetof(CRawDataAis, m_dLatitude) == 72, "AIS record layout");
static_assert(offsetof(CRawDataAis, m_dReserved) == 136, "AIS record layout");
static_assert(offsetof(CRawDataAis, m_strCallSign) == 144, "AIS record layout");
static_assert(offsetof(CRawDataAis, m_strDestination) == 160, "AIS record layout");
static_assert(sizeof(CRawDataAis) == 168, "AIS record layout");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// ---------------------------------------------------------------------------
// Exports, as a host looks them up by name
//
// get_Version, get_Name, get_Desc write into the host's string; get_Status
// gives AisRunStatus; get_Type gives kAisPluginType. get_Config/put_Config
// copy the configuration out and in (the plug-in keeps its own copy; see
// m_strOptions for what takes effect while running). put_Parent names the
// window that receives the records: message kAisWmUser, wParam
// kAisRecordWParam, lParam the CRawData* that the host then owns and
// deletes. StartPlugin: 0 started (the link opens in the background; status
// 2 says it failed), -1 already running, threads of a previous run still
// ending, or no resources. StopPlugin: 0 stopped, -1 not running or its
// threads did not end within 10 s (then the library must stay loaded).
// ConfigurePlugin: 0 the dialog was confirmed and the configuration stored,
// -1 cancelled, already open, or no display.
//
// How a host learns what became of the link, without reading trace text:
// get_Status is 1 while the link is open or being opened again, 2 once the
// link could not be opened (the run's threads have then ended: StopPlugin,
// then StartPlugin to try again), 0 when stopped. A link lost while running
// (a receiver that closed the connection, an unplugged serial adapter) is
// opened again by the plug-in (RECONNECT, on by default) while the status
// stays 1; that, and why, is only in the status trace.
//
// The trace files are in <common application data>\VestraFold\Tracing
// (%ProgramData% on Windows; $PROGRAMDATA, else /var/lib, on Linux). The
// host or its installer creates the folder, and the host creates the mutex
// kAisTraceMutexName before it starts the plug-in; the plug-in creates
// neither, and without them writes no trace.
//
// Which calls may overlap, from any of the host's threads: all of them.
// StartPlugin and StopPlugin take turns (a stop called while a start runs
// waits for it, then stops that run); ConfigurePlugin while its dialog is
// open elsewhere returns -1 at once; the get_ and put_ calls may come at any
// time, also during the others. A host should still not unload the library
// while a call is in progress or after StopPlugin returned -1.
//
// Records arrive on the host's window from the plug-in's own thread. On
// Windows they are window messages, taken by the thread that owns the
// window; on Linux (vf_system.h) any one thread of the host may take them
// with VfGetMessage or VfGetMessages, and each record is taken exactly once.
// ---------------------------------------------------------------------------

extern "C" {
using PFN_get_Version = void (*)(CWideString*);
using PFN_get_Name = void (*)(CWideString*);
using PFN_get_Desc = void (*)(CWideString*);
using PFN_get_Status = void (*)(uint32_t*);
using PFN_get_Type = void (*)(uint32_t*);
using PFN_put_Parent = void (*)(HostWindow);
using PFN_get_Config = void (*)(CCfgDevice*);
using PFN_put_Config = void (*)(CCfgDevice*);
using PFN_StartPlugin = int32_t (*)();
using PFN_StopPlugin = int32_t (*)();
using PFN_ConfigurePlugin = int32_t (*)();
}

// The names, in the order a host usually resolves them.
constexpr const char* kAisExportNames[] = {
    "get_Version", "get_Name",  "get_Desc",    "get_Status", "get_Type",        "put_Parent",
    "get_Config",  "put_Config", "StartPlugin", "StopPlugin", "ConfigurePlugin",
};

enum AisRunStatus : uint32_t { kStatusStopped = 0, kStatusRunning = 1, kStatusLinkFailed = 2 };
