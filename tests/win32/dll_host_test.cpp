// AIS.dll as a Windows host meets it: loaded with LoadLibraryW, driven
// through its eleven exports, posting records to a real window's message
// queue, writing the shared trace files under ProgramData with the host's
// named mutex, and reading loopback TCP and UDP links.
#include "support/loopback.h"  // first: winsock2.h before windows.h

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include "ais_plugin.h"
#include "plugin_library.h"
#include "support/record_sink.h"
#include "support/test_messages.h"
#include "support/wait_until.h"
#include "ui/resources/resource_ids.h"
#include "vf_system.h"

namespace {

using std::chrono::milliseconds;

std::filesystem::path TracingFolder() {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::filesystem::path(folder) / L"VestraFold" / L"Tracing";
}

std::string ReadTrace(const char* category) {
  std::ifstream in(TracingFolder() / (std::string("Trace_") + category + ".txt"), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Two good messages (one over two sentences) with a bad line between them.
std::string Feed() {
  using namespace vf::test;
  return SentenceLines(kType1Payload) + "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*3A\r\n" +  // bad checksum
         SentenceLines(Type5Payload("ON WINDOWS"), 2, 3, 'B');
}

class DllHost : public ::testing::Test {
 protected:
  void SetUp() override {
    // The host's part: the trace mutex before the library loads, the folder.
    m_traceMutex = VfCreateNamedMutex(kAisTraceMutexName);
    ASSERT_NE(m_traceMutex, nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(TracingFolder(), ignored);
    std::filesystem::create_directories(TracingFolder());
    std::string error;
    ASSERT_TRUE(m_plugin.Load("AIS.dll", error)) << error;
  }
  void TearDown() override {
    // Records still queued are destroyed through code in the DLL: before it goes.
    m_sink.TakeAll();
    m_plugin.Unload();
    VfCloseNamedMutex(m_traceMutex);
  }

  void Configure(const CCfgDevice& config) {
    CCfgDevice copy = config;
    m_api.put_Config(&copy);
    m_api.put_Parent(m_sink.Window());
  }

  std::vector<uint32_t> ReceiveMmsis(size_t count) {
    std::vector<uint32_t> mmsis;
    for (const auto& record : m_sink.Take(count, milliseconds(10000))) {
      EXPECT_GT(record->m_dTime, 1.7e9);  // a calendar time stamp
      mmsis.push_back(record->m_nMMSI);
    }
    return mmsis;
  }

  VfNamedMutex* m_traceMutex = nullptr;
  vf::host::PluginLibrary m_plugin;
  const vf::host::PluginExports& m_api = m_plugin.Exports();
  vf::test::RecordSink m_sink{u"AIS host under test"};
};

// A monitor window gets every received line traced as well. The receiver is
// named, so its address comes from the socket layer's overlapped lookup.
TEST_F(DllHost, RecordsArriveOverTcpAndTheTracesTellTheStory) {
  vf::test::RecordSink monitor(u"Communications Monitor");
  vf::test::TcpServer receiver;
  CCfgDevice config = vf::test::TcpClientConfig(receiver.Port());
  config.m_strHostAddress = u"localhost";
  Configure(config);
  ASSERT_EQ(m_api.StartPlugin(), 0);
  ASSERT_TRUE(receiver.Accept());
  ASSERT_TRUE(receiver.Send(Feed()));
  EXPECT_EQ(ReceiveMmsis(2), (std::vector<uint32_t>{211000000, 235000001}));
  EXPECT_TRUE(vf::test::WaitUntil([] {
    return ReadTrace("AIS.dll").find("|64|[AIS] !AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*3A") !=
           std::string::npos;
  }));
  const auto stopStarted = std::chrono::steady_clock::now();
  EXPECT_EQ(m_api.StopPlugin(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - stopStarted, std::chrono::seconds(5));
  uint32_t status = 9;
  m_api.get_Status(&status);
  EXPECT_EQ(status, 0u);

  const std::string trace = ReadTrace("General");
  for (const char* line : {"[AIS] Plugin started.", "[AIS] TCP connection established.",
                           "[AIS] Plugin is running successfully", "[AIS] Plugin stopped."}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line << "\n" << trace;
  }
  EXPECT_NE(trace.find("[AIS] Plugin started.\r\r\n"), std::string::npos);  // text-mode line ends
}

TEST_F(DllHost, RecordsArriveOverUdp) {
  const uint16_t port = vf::test::UnusedUdpPort();
  Configure(vf::test::UdpSessionConfig(port, u"CRC=0;"));  // a datagram ends in CR LF, which the checksum test counts
  ASSERT_EQ(m_api.StartPlugin(), 0);
  // Datagrams sent before the socket is bound are lost: probe until one lands.
  const std::string probe = vf::test::SentenceLines(vf::test::kType1Payload);
  ASSERT_TRUE(vf::test::WaitUntil([&] {
    vf::test::SendDatagram(port, probe);
    return !m_sink.Take(1, milliseconds(50)).empty();
  }));
  m_sink.Take(SIZE_MAX, milliseconds(200));  // later probes
  vf::test::SendDatagram(port, vf::test::SentenceLines("B39>Jh00=p59UhK=C62a7wv5j000", 0, -1, 'B'));
  EXPECT_EQ(ReceiveMmsis(1), (std::vector<uint32_t>{211000000}));
  EXPECT_EQ(m_api.StopPlugin(), 0);
}

TEST_F(DllHost, ASerialPortThatIsNotThereReportsStatusTwo) {
  CCfgDevice config;
  m_api.get_Config(&config);
  config.m_nConnectionType = kConnectionSerial;
  config.m_nSerialPort = 200;
  Configure(config);
  ASSERT_EQ(m_api.StartPlugin(), 0);
  uint32_t status = 0;
  EXPECT_TRUE(vf::test::WaitUntil([&] {
    m_api.get_Status(&status);
    return status == kStatusLinkFailed;
  }));
  EXPECT_EQ(m_api.StopPlugin(), 0);
  EXPECT_NE(ReadTrace("General").find("[AIS] Failed to open serial port: [COM200]."), std::string::npos)
      << ReadTrace("General");
}

RECT RectInDialog(HWND dialog, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The shown control of this window class over the placeholder `id`.
HWND ShownOver(HWND dialog, int placeholderId, const wchar_t* windowClass) {
  const RECT placeholder = RectInDialog(dialog, GetDlgItem(dialog, placeholderId));
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    const RECT rect = RectInDialog(dialog, child);
    if (IsWindowVisible(child) && _wcsicmp(name, windowClass) == 0 && rect.left == placeholder.left &&
        rect.top == placeholder.top && rect.right == placeholder.right) {
      return child;
    }
  }
  return nullptr;
}

std::wstring TextOf(HWND dialog, int id) {
  wchar_t text[64] = {};
  GetDlgItemTextW(dialog, id, text, 64);
  return text;
}

std::wstring SelectedText(HWND combo) {
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index < 0) return L"";
  wchar_t text[64] = {};
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

void ChooseConnectionType(HWND dialog, int index) {
  HWND combo = GetDlgItem(dialog, IDC_CONNECTION_TYPE);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CONNECTION_TYPE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// The dialog of ConfigurePlugin: the run-time controls over the template's
// placeholders, the rows' captions per connection type, the images on the
// buttons, and OK writing the record back.
TEST_F(DllHost, TheConfigurationDialogEditsTheRecordAndOkStoresIt) {
  CCfgDevice start;
  start.m_nSerialTimeout = 1234;  // a field the dialog does not show
  m_api.put_Config(&start);
  // ConfigurePlugin on a thread of its own, as a host's user interface thread
  // would run it, while this thread works the dialog as a user would.
  std::future<int32_t> result = std::async(std::launch::async, m_api.ConfigurePlugin);
  HWND dialog = nullptr;
  ASSERT_TRUE(vf::test::WaitUntil([&] {
    dialog = FindWindowW(nullptr, L"Configure AIS Receiver");
    return dialog != nullptr && IsWindowVisible(dialog);
  }));

  // A default record: the serial rows, 9600, N-8-1, CRC Enabled.
  EXPECT_EQ(TextOf(dialog, IDC_ROW1_CAPTION), L"Serial Port:");
  EXPECT_EQ(TextOf(dialog, IDC_ROW2_CAPTION), L"Serial Speed:");
  EXPECT_EQ(TextOf(dialog, IDC_ROW3_CAPTION), L"Serial Format:");
  EXPECT_EQ(SelectedText(GetDlgItem(dialog, IDC_CONNECTION_TYPE)), L"Serial");
  EXPECT_EQ(SelectedText(GetDlgItem(dialog, IDC_CRC_CHECK)), L"Enabled");
  HWND speed = ShownOver(dialog, IDC_ROW2_PLACEHOLDER, L"ComboBox");
  ASSERT_NE(speed, nullptr) << "no combo box over row 2";
  EXPECT_EQ(SelectedText(speed), L"9600");
  EXPECT_EQ(SelectedText(ShownOver(dialog, IDC_ROW3_PLACEHOLDER, L"ComboBox")), L"N-8-1");
  EXPECT_EQ(ShownOver(dialog, IDC_ROW2_PLACEHOLDER, L"Edit"), nullptr);
  for (const int placeholder : {IDC_ROW1_PLACEHOLDER, IDC_ROW2_PLACEHOLDER, IDC_ROW3_PLACEHOLDER}) {
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, placeholder))) << "placeholder " << placeholder << " shown";
  }
  EXPECT_NE(SendDlgItemMessageW(dialog, IDOK, BM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "OK has no image";
  EXPECT_NE(SendDlgItemMessageW(dialog, IDCANCEL, BM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "Cancel has no image";

  ChooseConnectionType(dialog, 1);
  EXPECT_EQ(TextOf(dialog, IDC_ROW1_CAPTION), L"Socket Type:");
  EXPECT_EQ(TextOf(dialog, IDC_ROW2_CAPTION), L"Host IP:");
  EXPECT_EQ(TextOf(dialog, IDC_ROW3_CAPTION), L"Host IP Port:");
  EXPECT_EQ(SelectedText(ShownOver(dialog, IDC_ROW1_PLACEHOLDER, L"ComboBox")), L"TCP");
  HWND host = ShownOver(dialog, IDC_ROW2_PLACEHOLDER, L"Edit");
  HWND port = ShownOver(dialog, IDC_ROW3_PLACEHOLDER, L"Edit");
  ASSERT_NE(host, nullptr) << "no edit box over row 2";
  ASSERT_NE(port, nullptr) << "no edit box over row 3";
  EXPECT_EQ(GetDlgCtrlID(host), IDC_ROW2_PLACEHOLDER + 5);
  EXPECT_EQ(GetDlgCtrlID(port), IDC_ROW3_PLACEHOLDER + 5);
  EXPECT_EQ(ShownOver(dialog, IDC_ROW2_PLACEHOLDER, L"ComboBox"), nullptr) << "the speed box is still shown";
  SetWindowTextW(host, L"ais.example.net");
  SetWindowTextW(port, L" 8080");
  SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
  EXPECT_EQ(result.get(), 0);

  CCfgDevice stored;
  m_api.get_Config(&stored);
  EXPECT_EQ(stored.m_nConnectionType, kConnectionTcpIp);
  EXPECT_EQ(stored.m_nSocketType, kSocketTcp);
  EXPECT_EQ(stored.m_nIpPort, 8080);
  EXPECT_EQ(stored.m_strHostAddress.View(), u"ais.example.net");
  EXPECT_EQ(stored.m_strOptions.View(), u"CRC=1;");
  EXPECT_EQ(stored.m_nSerialSpeed, 9600);
  EXPECT_EQ(stored.m_nSerialTimeout, 1234);
}

// A COM port that Wine maps to a pseudo-terminal with the simulator behind
// it; scripts/windows-test.sh sets this up and names the port.
TEST_F(DllHost, RecordsArriveOverASerialPort) {
  const char* port = std::getenv("AIS_WINE_SERIAL_PORT");
  if (port == nullptr) GTEST_SKIP() << "no COM port mapped to the simulator (AIS_WINE_SERIAL_PORT)";
  CCfgDevice config;
  m_api.get_Config(&config);
  config.m_nConnectionType = kConnectionSerial;
  config.m_nSerialPort = std::atoi(port);
  config.m_nSerialSpeed = 38400;
  Configure(config);
  ASSERT_EQ(m_api.StartPlugin(), 0);
  const auto records = m_sink.Take(20, milliseconds(20000));
  EXPECT_EQ(m_api.StopPlugin(), 0);
  ASSERT_EQ(records.size(), 20u) << ReadTrace("General");
  for (const auto& record : records) {
    // The simulated fleet: its base station, class A and class B stations.
    EXPECT_TRUE(record->m_nMMSI == 2570001 || record->m_nMMSI / 1000000 == 257 || record->m_nMMSI / 1000000 == 258)
        << record->m_nMMSI;
  }
  EXPECT_NE(ReadTrace("General").find("[AIS] Successfully opened serial port: [COM" + std::string(port) + "]."), std::string::npos)
      << ReadTrace("General");
}

// The DLL and the Windows tools each carry the version resource a host's
// plug-in list or Explorer shows (the tools are beside the tests' folder).
TEST(DllVersion, TheDllAndTheToolsCarryTheirVersionAndNames) {
  const struct {
    const wchar_t* path;
    DWORD fileType;
    const wchar_t* description;
    const wchar_t* originalName;
  } modules[] = {
      {L"AIS.dll", VFT_DLL, L"Plugin for generic AIS receivers", L"AIS.dll"},
      {L"..\\tools\\ais-host.exe", VFT_APP, L"Reference host of the Vestrafold AIS receiver plug-in", L"ais-host.exe"},
      {L"..\\tools\\ais-sim.exe", VFT_APP, L"AIS traffic simulator with the faults of real receivers", L"ais-sim.exe"},
  };
  for (const auto& module : modules) {
    SCOPED_TRACE(testing::Message() << module.path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(module.path, &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(module.path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (9u << 16) | 1u);
    EXPECT_EQ(fixed->dwFileVersionLS, (64u << 16) | 511u);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, module.fileType);
    const auto text = [&](const wchar_t* name) {
      wchar_t* value = nullptr;
      UINT characters = 0;
      const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
      if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &characters)) {
        return std::wstring();
      }
      return std::wstring(value);
    };
    EXPECT_EQ(text(L"FileVersion"), L"9.1.64.511");
    EXPECT_EQ(text(L"ProductName"), L"Vestrafold AIS receiver plug-in");
    EXPECT_EQ(text(L"FileDescription"), module.description);
    EXPECT_EQ(text(L"OriginalFilename"), module.originalName);
  }
}

}  // namespace
