// AIS.dll as the host it was made for sees it: a program of the Microsoft C++
// ABI (clang++ --target=x86_64-pc-windows-msvc), with its own classes, its own
// ATL-layout wide strings and a string manager of its own that counts every
// call. It includes nothing of the SDK: the layouts below are the host's own
// declarations, written from the Microsoft ABI and ATL's documentation.
//
// It drives every export, receives records over loopback TCP through a real
// window, reads every field, copies record strings into its own strings,
// clones and deletes records, round-trips the configuration with strings of
// its own, and at the end checks that its manager's books balance.
// Exit code: the number of failed checks.

using size_t = decltype(sizeof 0);
using uint16 = unsigned short;
using uint32 = unsigned int;
using uint64 = unsigned long long;
using Handle = void*;
using Socket = uint64;

extern "C" {
int _fltused = 0;
// The table of std::type_info, which this program's own type descriptors
// name; nothing here calls through it.
extern const void* const kTypeInfoTable[1] __asm__("??_7type_info@@6B@") = {nullptr};
int _purecall() { return 0; }

__declspec(dllimport) Handle GetProcessHeap();
__declspec(dllimport) void* HeapAlloc(Handle, uint32, size_t);
__declspec(dllimport) int HeapFree(Handle, uint32, void*);
__declspec(dllimport) Handle LoadLibraryW(const wchar_t*);
__declspec(dllimport) void* GetProcAddress(Handle, const char*);
__declspec(dllimport) int FreeLibrary(Handle);
__declspec(dllimport) Handle GetStdHandle(uint32);
__declspec(dllimport) int WriteFile(Handle, const void*, uint32, uint32*, void*);
__declspec(dllimport) uint32 GetTickCount();
__declspec(dllimport) void ExitProcess(uint32);

struct Message {
  Handle window;
  uint32 message;
  uint64 wParam;
  long long lParam;
  uint32 time;
  long x, y;
  uint32 private_;
};
__declspec(dllimport) Handle CreateWindowExW(uint32, const wchar_t*, const wchar_t*, uint32, int, int, int, int, Handle,
                                             Handle, Handle, void*);
__declspec(dllimport) int DestroyWindow(Handle);
__declspec(dllimport) int PeekMessageW(Message*, Handle, uint32, uint32, uint32);
__declspec(dllimport) uint32 MsgWaitForMultipleObjects(uint32, const Handle*, int, uint32, uint32);
__declspec(dllimport) int wsprintfA(char*, const char*, ...);

struct SocketAddress {
  uint16 family;
  uint16 port;
  uint32 address;
  char zero[8];
};
struct SocketSet {
  uint32 count;
  Socket sockets[64];
};
struct TimeValue {
  long seconds, microseconds;
};
__declspec(dllimport) int WSAStartup(uint16, void*);
__declspec(dllimport) int WSACleanup();
__declspec(dllimport) Socket socket(int, int, int);
__declspec(dllimport) int bind(Socket, const SocketAddress*, int);
__declspec(dllimport) int listen(Socket, int);
__declspec(dllimport) int getsockname(Socket, SocketAddress*, int*);
__declspec(dllimport) Socket accept(Socket, SocketAddress*, int*);
__declspec(dllimport) int select(int, SocketSet*, SocketSet*, SocketSet*, const TimeValue*);
__declspec(dllimport) int send(Socket, const char*, int, int);
__declspec(dllimport) int closesocket(Socket);
__declspec(dllimport) uint16 htons(uint16);
__declspec(dllimport) uint16 ntohs(uint16);
}

void* operator new(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void operator delete(void* block) noexcept { HeapFree(GetProcessHeap(), 0, block); }
void operator delete(void* block, size_t) noexcept { HeapFree(GetProcessHeap(), 0, block); }

namespace {

// ---------------------------------------------------------------------------
// Output and checks
// ---------------------------------------------------------------------------

void Say(const char* text) {
  uint32 length = 0;
  while (text[length] != 0) ++length;
  uint32 written = 0;
  WriteFile(GetStdHandle(static_cast<uint32>(-11)), text, length, &written, nullptr);
}

int g_passed = 0;
int g_failed = 0;

void Check(bool holds, const char* what) {
  if (holds) {
    ++g_passed;
    return;
  }
  ++g_failed;
  Say("FAILED: ");
  Say(what);
  Say("\n");
}

bool Near(double a, double b) { return a - b < 1e-5 && b - a < 1e-5; }

// ---------------------------------------------------------------------------
// The host's strings: ATL's layout, its manager interface, a counting manager
// ---------------------------------------------------------------------------

struct IAtlStringMgr;

struct CStringData {
  IAtlStringMgr* pStringMgr;
  int nDataLength;
  int nAllocLength;
  long nRefs;
  wchar_t* data() { return reinterpret_cast<wchar_t*>(this + 1); }
};
static_assert(sizeof(CStringData) == 24, "ATL's header");

struct IAtlStringMgr {  // ATL's __interface: five functions, no destructor
  virtual CStringData* Allocate(int nAllocLength, int nCharSize) = 0;
  virtual void Free(CStringData* data) = 0;
  virtual CStringData* Reallocate(CStringData* data, int nAllocLength, int nCharSize) = 0;
  virtual CStringData* GetNilString() = 0;
  virtual IAtlStringMgr* Clone() = 0;
};

class CountingStringMgr final : public IAtlStringMgr {
 public:
  constexpr CountingStringMgr() : m_nil{{this, 0, 0, 2}, {0, 0}} {}

  CStringData* Allocate(int nAllocLength, int nCharSize) override {
    ++allocations;
    auto* data = static_cast<CStringData*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(CStringData) + static_cast<size_t>(nAllocLength + 1) * nCharSize));
    *data = CStringData{this, 0, nAllocLength, 1};
    Remember(data);
    return data;
  }
  void Free(CStringData* data) override {
    ++frees;
    if (!Forget(data)) ++foreignFrees;
  }
  CStringData* Reallocate(CStringData* data, int nAllocLength, int nCharSize) override {
    ++reallocations;
    CStringData* grown = Allocate(nAllocLength, nCharSize);
    --allocations;
    for (int i = 0; i <= data->nDataLength; ++i) grown->data()[i] = data->data()[i];
    grown->nDataLength = data->nDataLength;
    Forget(data);
    HeapFree(GetProcessHeap(), 0, data);
    return grown;
  }
  CStringData* GetNilString() override {
    ++nilRequests;
    __atomic_fetch_add(&m_nil.header.nRefs, 1, __ATOMIC_SEQ_CST);
    return &m_nil.header;
  }
  IAtlStringMgr* Clone() override {
    ++clones;
    return this;
  }

  long NilReferences() const { return m_nil.header.nRefs; }
  int Live() const { return m_live; }

  int allocations = 0, frees = 0, reallocations = 0, nilRequests = 0, clones = 0, foreignFrees = 0;

 private:
  void Remember(CStringData* data) {
    if (m_live < kMaxLive) m_blocks[m_live++] = data;
  }
  bool Forget(CStringData* data) {
    for (int i = 0; i < m_live; ++i) {
      if (m_blocks[i] == data) {
        m_blocks[i] = m_blocks[--m_live];
        HeapFree(GetProcessHeap(), 0, data);
        return true;
      }
    }
    return false;
  }

  static constexpr int kMaxLive = 512;
  struct {
    CStringData header;
    wchar_t characters[2];
  } m_nil;
  CStringData* m_blocks[kMaxLive] = {};
  int m_live = 0;
};

CountingStringMgr g_strings;

// The few CStringW operations this host needs, as ATL performs them.
class CStringW {
 public:
  CStringW() : m_pszData(g_strings.GetNilString()->data()) {}
  CStringW(const wchar_t* text) : CStringW() { *this = text; }  // NOLINT: as CStringW converts
  CStringW(const CStringW& other) {  // CloneData: share when the manager agrees
    CStringData* source = other.GetData();
    IAtlStringMgr* manager = source->pStringMgr->Clone();
    if (source->nRefs >= 0 && manager == source->pStringMgr) {
      __atomic_fetch_add(&source->nRefs, 1, __ATOMIC_SEQ_CST);
      m_pszData = source->data();
      return;
    }
    CStringData* copy = manager->Allocate(source->nDataLength, sizeof(wchar_t));
    for (int i = 0; i <= source->nDataLength; ++i) copy->data()[i] = source->data()[i];
    copy->nDataLength = source->nDataLength;
    m_pszData = copy->data();
  }
  CStringW& operator=(const CStringW&) = delete;
  CStringW& operator=(const wchar_t* text) {  // a fresh block of the host's manager
    int length = 0;
    while (text[length] != 0) ++length;
    CStringData* data = length == 0 ? g_strings.GetNilString() : g_strings.Allocate(length, sizeof(wchar_t));
    for (int i = 0; i <= length; ++i) data->data()[i] = text[i];
    data->nDataLength = length;
    Release(GetData());
    m_pszData = data->data();
    return *this;
  }
  ~CStringW() { Release(GetData()); }

  int GetLength() const { return GetData()->nDataLength; }
  const wchar_t* GetString() const { return m_pszData; }
  CStringData* GetData() const { return reinterpret_cast<CStringData*>(m_pszData) - 1; }
  bool Is(const wchar_t* text, int length) const {
    if (GetLength() != length) return false;
    for (int i = 0; i < length; ++i) {
      if (m_pszData[i] != text[i]) return false;
    }
    return m_pszData[length] == 0;
  }

 private:
  static void Release(CStringData* data) {
    if (__atomic_sub_fetch(&data->nRefs, 1, __ATOMIC_SEQ_CST) <= 0) data->pStringMgr->Free(data);
  }

  wchar_t* m_pszData;
};
static_assert(sizeof(CStringW) == 8, "one pointer");

template <int N>
bool Is(const CStringW& text, const wchar_t (&expected)[N]) {
  return text.Is(expected, N - 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// The host's record and configuration classes, in the global namespace: the
// run-time type names (".?AVCRawDataAis@@") must be the plug-in's.
// ---------------------------------------------------------------------------

class CGlobalData {  // the host framework's own: the plug-in never touches it
 public:
  virtual ~CGlobalData() {}
  int m_nMarker = 0x5eed;
  double m_dSoundVelocity = 1500.0;
  CStringW m_strLabel = L"host label";
};

class CCfgDevice {
 public:
  CCfgDevice() : m_pGlobalData(new CGlobalData) {}
  virtual ~CCfgDevice() { delete m_pGlobalData; }

  int m_nDeviceId = 0, m_nConnectionType = 0, m_nSerialPort = 0, m_nSerialSpeed = 0, m_nSerialFormat = 0,
      m_nSocketType = 0, m_nIpPort = 0, m_nRemoteIpPort = 0, m_nSpare = 0, m_nTimeOffset = 0, m_nSerialTimeout = 0;
  CGlobalData* m_pGlobalData;
  CStringW m_strHostAddress, m_strOptions, m_strSpare;
};
static_assert(sizeof(CCfgDevice) == 88, "configuration layout");

class CRawData {
 public:
  virtual ~CRawData() {}
  virtual CRawData* Clone() const { return nullptr; }
  uint16 m_nType = 0, m_nContents = 0;
  int m_nDeviceId = 0;
  double m_dTime = 0, m_dTimeOffset = 0;
  uint64 m_nReserved1 = 0, m_nReserved2 = 0;
};

class CRawDataAis : public CRawData {
 public:
  CRawData* Clone() const override { return nullptr; }  // the plug-in's records bring their own
  uint32 m_nMMSI = 0;
  int m_nTimeReceived = 0, m_nShipType = 0, m_nNavStatus = 15, m_nClass = 0;
  double m_dLatitude = 0, m_dLongitude = 0, m_dSpeed = 0, m_dCourse = 0;
  double m_dToBow = 0, m_dToStern = 0, m_dToPort = 0, m_dToStarboard = 0, m_dReserved = 0;
  CStringW m_strCallSign, m_strName, m_strDestination;
};
static_assert(sizeof(CRawDataAis) == 168, "record layout");

class CRawDataSonar : public CRawData {};  // another kind of this host's records

namespace {

// ---------------------------------------------------------------------------
// The plug-in
// ---------------------------------------------------------------------------

struct Exports {
  void (*get_Version)(CStringW*);
  void (*get_Name)(CStringW*);
  void (*get_Desc)(CStringW*);
  void (*get_Status)(uint32*);
  void (*get_Type)(uint32*);
  void (*put_Parent)(Handle);
  void (*get_Config)(CCfgDevice*);
  void (*put_Config)(CCfgDevice*);
  int (*StartPlugin)();
  int (*StopPlugin)();
  int (*ConfigurePlugin)();
};

// The exports in the order of the table above.
bool Load(Handle library, Exports& api) {
  const char* const names[] = {"get_Version", "get_Name",   "get_Desc",    "get_Status",
                               "get_Type",    "put_Parent", "get_Config",  "put_Config",
                               "StartPlugin", "StopPlugin", "ConfigurePlugin"};
  static_assert(sizeof names / sizeof *names * sizeof(void*) == sizeof(Exports), "one name per export");
  auto* slots = reinterpret_cast<void**>(&api);
  bool all = true;
  for (size_t i = 0; i < sizeof names / sizeof *names; ++i) {
    slots[i] = GetProcAddress(library, names[i]);
    Check(slots[i] != nullptr, names[i]);
    all = all && slots[i] != nullptr;
  }
  return all;
}

void IdentityGoesIntoTheHostsStrings(const Exports& api) {
  CStringW name;  // empty: the manager's nil data
  const int before = g_strings.allocations;
  api.get_Name(&name);
  Check(Is(name, L"Vestrafold AIS plugin"), "get_Name gives the name, length 21");
  Check(name.GetData()->pStringMgr == &g_strings, "the name's data comes from the host's manager");
  Check(g_strings.allocations == before + 1, "one allocation, through the host's manager");

  CStringW version = L"a previous text longer than any version";
  const int allocated = g_strings.allocations;
  api.get_Version(&version);
  Check(Is(version, L"9.1.64.0511"), "get_Version gives the version");
  Check(g_strings.allocations == allocated, "a text the host's block holds is written in place");

  CStringW description = L"short";
  CStringW shared = description;  // two strings on one block: the plug-in must not write through it
  api.get_Desc(&description);
  Check(Is(description, L"Plugin for generic AIS receivers"), "get_Desc gives the description");
  Check(Is(shared, L"short"), "a shared block stays as the other string sees it");

  uint32 type = 0, status = 9;
  api.get_Type(&type);
  api.get_Status(&status);
  Check(type == 512, "get_Type gives 512");
  Check(status == 0, "a loaded plug-in is stopped");
}

// A receiver on loopback: a TCP server with one client.
class Receiver {
 public:
  Receiver() {
    char data[512];
    WSAStartup(0x0202, data);
    m_listener = socket(2 /*AF_INET*/, 1 /*SOCK_STREAM*/, 6 /*IPPROTO_TCP*/);
    SocketAddress address{2, 0, 0x0100007f, {}};
    int length = sizeof address;
    bind(m_listener, &address, sizeof address);
    listen(m_listener, 1);
    getsockname(m_listener, &address, &length);
    port = ntohs(address.port);
  }
  ~Receiver() {
    if (m_peer != 0) closesocket(m_peer);
    closesocket(m_listener);
    WSACleanup();
  }
  bool Accept() {
    SocketSet readable{1, {m_listener}};
    const TimeValue wait{10, 0};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
    m_peer = accept(m_listener, nullptr, nullptr);
    return m_peer != static_cast<Socket>(-1);
  }
  void Send(const char* text) {
    int length = 0;
    while (text[length] != 0) ++length;
    send(m_peer, text, length, 0);
  }

  int port = 0;

 private:
  Socket m_listener = 0;
  Socket m_peer = 0;
};

void ConfigurationRoundTrips(const Exports& api, int port) {
  CCfgDevice defaults;
  CGlobalData* own = defaults.m_pGlobalData;
  api.get_Config(&defaults);
  Check(defaults.m_nSerialSpeed == 9600 && defaults.m_nSerialTimeout == 2000 && defaults.m_nIpPort == 0,
        "get_Config gives the defaults");
  Check(defaults.m_strOptions.GetLength() == 0 && defaults.m_strHostAddress.GetLength() == 0,
        "default strings are empty");
  Check(defaults.m_pGlobalData == own && own->m_nMarker == 0x5eed && Is(own->m_strLabel, L"host label"),
        "the host's global data stays its own");

  CCfgDevice config;
  config.m_nDeviceId = 0x10000005;
  config.m_nConnectionType = 1;
  config.m_nSocketType = 0;
  config.m_nIpPort = port;
  config.m_nSerialSpeed = 38400;
  config.m_nSerialTimeout = 2000;
  config.m_nTimeOffset = -250;
  config.m_nSpare = 77;
  config.m_strHostAddress = L"127.0.0.1";
  config.m_strOptions = L"CRC=1;";
  config.m_strSpare = L"host spare text";
  api.put_Config(&config);
  config.m_strSpare = L"changed by the host";  // the plug-in keeps its own copy

  CCfgDevice back;
  api.get_Config(&back);
  Check(back.m_nDeviceId == 0x10000005 && back.m_nConnectionType == 1 && back.m_nIpPort == port &&
            back.m_nSerialSpeed == 38400 && back.m_nTimeOffset == -250 && back.m_nSpare == 77,
        "get_Config gives back every integer put_Config took");
  Check(Is(back.m_strHostAddress, L"127.0.0.1") && Is(back.m_strOptions, L"CRC=1;") &&
            Is(back.m_strSpare, L"host spare text"),
        "get_Config gives back the strings");
  Check(back.m_strOptions.GetData()->pStringMgr == &g_strings, "the strings given back are the host's manager's");
}

// Records arrive in the window's queue, posted by the plug-in's thread.
CRawData* g_records[16];
int g_recordCount = 0;

bool PumpUntil(int records, uint32 milliseconds) {
  const uint32 start = GetTickCount();
  while (g_recordCount < records) {
    const uint32 spent = GetTickCount() - start;
    if (spent >= milliseconds) return false;
    MsgWaitForMultipleObjects(0, nullptr, 0, milliseconds - spent, 0x04FF /*QS_ALLINPUT*/);
    Message message;
    while (PeekMessageW(&message, nullptr, 0, 0, 1 /*PM_REMOVE*/)) {
      if (message.message != 0x0400 || message.wParam != 0x0432) continue;
      auto* record = reinterpret_cast<CRawData*>(message.lParam);
      if (g_recordCount < 16) {
        g_records[g_recordCount++] = record;
      } else {
        delete record;
      }
    }
  }
  return true;
}

// Copies a record's strings into the host's own, clones it, checks the clone
// and the run-time type, and deletes both.
void UseRecord(CRawData* record, const wchar_t* callSign, int callSignLength) {
  auto* ais = dynamic_cast<CRawDataAis*>(record);
  Check(ais != nullptr, "dynamic_cast finds a CRawDataAis");
  Check(dynamic_cast<CRawDataSonar*>(record) == nullptr, "dynamic_cast to another record kind gives null");
  if (ais == nullptr) ais = static_cast<CRawDataAis*>(record);

  CStringW name(ais->m_strName);
  CStringW callSignCopy(ais->m_strCallSign);
  CRawData* clone = record->Clone();
  Check(clone != nullptr, "Clone gives a copy");
  if (clone != nullptr) {
    auto* copy = static_cast<CRawDataAis*>(clone);
    Check(copy->m_nDeviceId == 0x00000005, "the clone's device id loses bit 28");
    Check(copy->m_nMMSI == ais->m_nMMSI && copy->m_dLatitude == ais->m_dLatitude &&
              copy->m_dTime == ais->m_dTime && copy->m_nContents == ais->m_nContents,
          "the clone carries the record's fields");
    Check(copy->m_strName.GetLength() == ais->m_strName.GetLength(), "the clone carries the strings");
    Check(dynamic_cast<CRawDataAis*>(clone) == copy, "the clone is a CRawDataAis too");
    delete clone;
  }
  delete record;
  Check(name.GetLength() == 0 || name.GetData()->pStringMgr == &g_strings,
        "copied record strings are the host manager's");
  Check(callSignCopy.Is(callSign, callSignLength), "a copied string outlives its record");
}

void RecordsArriveThroughTheWindow(const Exports& api, Receiver& receiver) {
  Handle window = CreateWindowExW(0, L"STATIC", L"MSVC host", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  Check(window != nullptr, "a window for the records");
  api.put_Parent(window);

  Check(api.StartPlugin() == 0, "StartPlugin returns 0");
  uint32 status = 0;
  api.get_Status(&status);
  Check(status == 1, "a started plug-in runs");
  Check(receiver.Accept(), "the plug-in connects to the receiver");
  receiver.Send(
      "!AIVDM,1,1,,A,13m6F2@0R<PfP;PQf<nnVEA@0000,0*01\r\n"
      "!AIVDM,2,1,0,B,53m66=@29E4Lh5a=T0085=@v0UH00000000000169@t685WfN?Slk3h00000,0*36\r\n"
      "!AIVDM,2,2,0,B,00000000000,2*27\r\n");
  Check(PumpUntil(2, 10000), "two records arrive within 10 s");
  Check(api.StopPlugin() == 0, "StopPlugin returns 0");
  api.get_Status(&status);
  Check(status == 0, "a stopped plug-in reports 0");
  if (g_recordCount < 2) return;

  // Values as gpsdecode -j decodes the same sentences.
  auto& position = *static_cast<CRawDataAis*>(g_records[0]);
  Check(position.m_nType == 15 && position.m_nContents == 1 && position.m_nClass == 1, "type 1: kind and class");
  Check(position.m_nMMSI == 257005065 && position.m_nNavStatus == 0, "type 1: MMSI and status");
  Check(Near(position.m_dLatitude, 58.933272) && Near(position.m_dLongitude, 10.158693), "type 1: position");
  Check(Near(position.m_dSpeed, 14.0) && Near(position.m_dCourse, 168.9), "type 1: speed and course");
  Check(position.m_nDeviceId == 0x10000005 && position.m_dTimeOffset == -0.25, "type 1: device id and offset");
  Check(position.m_dTime > 1.5e9 && position.m_nTimeReceived > 1500000000, "type 1: time stamps");
  Check(position.m_nReserved1 == 0 && position.m_nReserved2 == 0 && position.m_dReserved == 0, "reserved stay 0");
  Check(position.m_strName.GetLength() == 0 && position.m_strName.GetData()->nRefs >= 2,
        "an empty record string is nil data");

  auto& voyage = *static_cast<CRawDataAis*>(g_records[1]);
  Check(voyage.m_nContents == 4 && voyage.m_nClass == 1 && voyage.m_nMMSI == 257001013, "type 5: kind and MMSI");
  Check(voyage.m_nShipType == 70 && voyage.m_dToBow == 74 && voyage.m_dToStern == 60 && voyage.m_dToPort == 6 &&
            voyage.m_dToStarboard == 8,
        "type 5: ship type and dimensions");
  Check(Is(voyage.m_strName, L"BASTO IV\0\0\0\0\0\0\0\0\0\0\0\0"), "type 5: name, padding as received");
  Check(Is(voyage.m_strDestination, L"OSLO\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"), "type 5: destination");
  Check(voyage.m_strCallSign.GetData()->pStringMgr == &g_strings, "record strings come from the host's manager");

  UseRecord(g_records[1], L"LAZSY\0\0", 7);
  UseRecord(g_records[0], L"", 0);
  api.put_Parent(nullptr);
  DestroyWindow(window);
}

int Run() {
  Handle library = LoadLibraryW(L"AIS.dll");
  Check(library != nullptr, "LoadLibraryW(AIS.dll)");
  if (library == nullptr) return 1;
  Exports api{};
  if (Load(library, api)) {
    IdentityGoesIntoTheHostsStrings(api);
    Receiver receiver;
    ConfigurationRoundTrips(api, receiver.port);
    RecordsArriveThroughTheWindow(api, receiver);
  }
  Check(FreeLibrary(library) != 0, "FreeLibrary");

  Check(g_strings.allocations == g_strings.frees, "the host's manager: allocations and frees balance");
  Check(g_strings.Live() == 0, "the host's manager: no block left");
  Check(g_strings.foreignFrees == 0, "the host's manager freed only its own blocks");
  Check(g_strings.NilReferences() == 2, "the host's nil data is back to its own references");
  char summary[200];
  wsprintfA(summary, "string manager: %d allocations, %d frees, %d reallocations, %d clones, %d nil strings\n"
            "%d passed, %d failed\n", g_strings.allocations, g_strings.frees, g_strings.reallocations,
            g_strings.clones, g_strings.nilRequests, g_passed, g_failed);
  Say(summary);
  return g_failed;
}

}  // namespace

extern "C" void HostMain() { ExitProcess(static_cast<uint32>(Run())); }
