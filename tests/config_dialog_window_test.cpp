// The configuration dialog used as a person uses it: the reference host
// calls ConfigurePlugin on a private X server, xdotool clicks and types, the
// host prints the record it reads back. Clicks go where the template puts
// each control; a screenshot of each connection type is kept as a test
// artifact.
#include <gtest/gtest.h>

#include <poll.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/ais_app.h"
#include "support/host_program.h"
#include "support/wait_until.h"
#include "ui/dialog_template.h"

// Last: Xlib defines macros (None, Status) that clash with other headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using std::chrono::milliseconds;
using vf::test::HostProgram;
using vf::platform::PixelRect;
using vf::platform::ToPixels;

// A program run to its end, its output ignored: xdotool and import.
int RunTool(const std::vector<std::string>& arguments, const std::string& display) {
  const pid_t pid = vf::test::Spawn(arguments, {"DISPLAY=" + display}, {.output = "/dev/null"});
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid ? vf::test::ExitCodeOf(status) : -1;
}

// An Xvfb server of this test's own, found through -displayfd.
class XServer {
 public:
  XServer() {
    // The server writes its display number once it accepts clients.
    int numberPipe = -1;
    m_pid = vf::test::Spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {},
                            {"", "/dev/null", &numberPipe});
    std::string number;
    pollfd ready{numberPipe, POLLIN, 0};
    char c = 0;
    while (m_pid > 0 && poll(&ready, 1, 20000) == 1 && read(numberPipe, &c, 1) == 1 && c != '\n') number += c;
    if (numberPipe >= 0) close(numberPipe);
    if (!number.empty()) m_name = ":" + number;
    if (!m_name.empty()) m_display = XOpenDisplay(m_name.c_str());
  }
  ~XServer() {
    if (m_display != nullptr) XCloseDisplay(m_display);
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
  }

  bool Ready() const { return m_display != nullptr; }
  // The server ends as a crashed one does, with its clients still connected.
  void Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }
  const std::string& Name() const { return m_name; }

  // The viewable top-level window with this title.
  std::optional<Window> FindWindow(const char* title) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    std::optional<Window> found;
    if (XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count) == 0) return found;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      XWindowAttributes attributes{};
      if (XFetchName(m_display, children[i], &name) != 0 && name != nullptr) {
        if (std::string(name) == title && XGetWindowAttributes(m_display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable) {
          found = children[i];
        }
        XFree(name);
      }
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  // The window's pixels as 0xRRGGBB, row by row.
  struct Image {
    int width = 0, height = 0;
    std::vector<unsigned long> pixels;
    unsigned long At(int x, int y) const {
      return x >= 0 && y >= 0 && x < width && y < height ? pixels[static_cast<size_t>(y * width + x)] : 0;
    }
  };
  Image Capture(Window window) {
    Image image;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(m_display, window, &attributes) == 0) return image;
    XImage* shot = XGetImage(m_display, window, 0, 0, static_cast<unsigned>(attributes.width),
                             static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (shot == nullptr) return image;
    image.width = attributes.width;
    image.height = attributes.height;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) image.pixels.push_back(XGetPixel(shot, x, y) & 0xFFFFFF);
    }
    XDestroyImage(shot);
    return image;
  }

 private:
  pid_t m_pid = -1;
  std::string m_name;
  Display* m_display = nullptr;
};

constexpr unsigned long kWhite = 0xFFFFFF;

PixelRect PixelsOf(int id) { return ToPixels(vf::ui::FindTemplateControl(id)->rect); }

// What a row's run-time control is: the closed height of a combo box.
PixelRect FieldRect(int placeholder, bool combo) {
  PixelRect rect = PixelsOf(placeholder);
  if (combo) rect.height = vf::platform::DialogUnitsDown(vf::ui::kClosedComboHeight);
  return rect;
}

bool AnyPixel(const XServer::Image& image, PixelRect rect, const std::function<bool(unsigned long)>& matches) {
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) {
      if (matches(image.At(x, y))) return true;
    }
  }
  return false;
}
bool Green(unsigned long p) { return ((p >> 8) & 0xFF) > 120 && (p >> 16) < 100 && (p & 0xFF) < 100; }
bool Red(unsigned long p) { return (p >> 16) > 150 && ((p >> 8) & 0xFF) < 80 && (p & 0xFF) < 80; }

// An edit box is white to its right end; a combo box ends in its button.
bool RowIsEdit(const XServer::Image& image, int row) {
  const PixelRect rect = FieldRect(row, false);
  return image.At(rect.x + rect.width - 8, rect.y + rect.height / 2) == kWhite;
}

class ConfigDialogWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_server->Ready()) FAIL() << "Xvfb could not start: scripts/setup.sh installs xvfb";
    if (RunTool({"xdotool", "version"}, m_server->Name()) != 0) FAIL() << "xdotool is missing: scripts/setup.sh installs it";
    m_comFolder = std::filesystem::temp_directory_path() / ("dialog-com-" + std::to_string(getpid()));
    std::filesystem::create_directories(m_comFolder);
    for (const char* name : {"com3", "com12"}) std::ofstream(m_comFolder / name) << "";
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_comFolder, ignored);
  }

  void StartHost(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--configure", "--no-start"});
    m_host.Start(arguments, {"DISPLAY=" + m_server->Name(), "VF_SERIAL_DIR=" + m_comFolder.string()});
  }

  Window WaitForDialog() {
    std::optional<Window> window;
    EXPECT_TRUE(vf::test::WaitUntil([&] { return (window = m_server->FindWindow(vf::ui::kDialogTitle)).has_value(); },
                                    milliseconds(15000)))
        << m_host.Errors();
    return window.value_or(0);
  }

  // Waits until the window shows what `drawn` looks for.
  XServer::Image WaitForImage(Window window, const std::function<bool(const XServer::Image&)>& drawn) {
    XServer::Image image;
    EXPECT_TRUE(vf::test::WaitUntil(
        [&] {
          image = m_server->Capture(window);
          return image.width > 0 && drawn(image);
        },
        milliseconds(10000)));
    return image;
  }

  void Click(Window window, PixelRect rect) {
    const std::string x = std::to_string(rect.x + rect.width / 2), y = std::to_string(rect.y + rect.height / 2);
    ASSERT_EQ(RunTool({"xdotool", "mousemove", "--window", std::to_string(window), x, y, "click", "1"}, m_server->Name()),
              0);
  }
  void Keys(std::vector<std::string> keys) {
    keys.insert(keys.begin(), {"xdotool", "key", "--delay", "20"});
    ASSERT_EQ(RunTool(keys, m_server->Name()), 0);
  }
  void Type(const std::string& text) {
    ASSERT_EQ(RunTool({"xdotool", "type", "--delay", "20", text}, m_server->Name()), 0);
  }
  void Screenshot(Window window, const std::string& name) {
    std::filesystem::create_directories(AIS_TEST_ARTIFACTS);
    const std::string path = std::string(AIS_TEST_ARTIFACTS) + "/" + name;
    EXPECT_EQ(RunTool({"import", "-window", std::to_string(window), path}, m_server->Name()), 0) << path;
  }

  // Switches the Connection Type box to TCP/IP with the keyboard of its list.
  void ChooseTcpIp(Window window) {
    Click(window, FieldRect(IDC_CONNECTION_TYPE, true));
    Keys({"Down", "Return"});
  }

  static void SetUpTestSuite() { m_server = std::make_unique<XServer>(); }
  static void TearDownTestSuite() { m_server.reset(); }

  static std::unique_ptr<XServer> m_server;
  HostProgram m_host;
  std::filesystem::path m_comFolder;
};

std::unique_ptr<XServer> ConfigDialogWindow::m_server;

// The record as the host gives it, and as OK stores it after TCP/IP was
// chosen and a host and port typed; Cancel and Escape leave it as it was.
std::string ConfigurationLine(int type, int port, const std::string& host) {
  return "{\"m_nDeviceId\":7,\"m_nConnectionType\":" + std::to_string(type) +
         ",\"m_nSerialPort\":12,\"m_nSerialSpeed\":38400,\"m_nSerialFormat\":2,\"m_nSocketType\":0,"
         "\"m_nIpPort\":" + std::to_string(port) +
         ",\"m_nRemoteIpPort\":0,\"m_nSpare\":0,\"m_nTimeOffset\":0,\"m_nSerialTimeout\":2000,"
         "\"m_strHostAddress\":\"" + host + "\",\"m_strOptions\":\"CRC=0;\",\"m_strSpare\":\"\"}\n";
}

TEST_F(ConfigDialogWindow, OkStoresWhatWasTypedAndCancelOrEscapeNothing) {
  enum class Ending { kOk, kCancel, kEscape };
  for (const Ending ending : {Ending::kOk, Ending::kCancel, Ending::kEscape}) {
    SCOPED_TRACE(static_cast<int>(ending));
    StartHost({"--serial", "--serial-port", "12", "--speed", "38400", "--format", "2", "--crc", "off", "--device-id",
               "7"});
    const Window window = WaitForDialog();
    ASSERT_NE(window, 0u);
    // The serial rows are combo boxes; the buttons carry their images.
    WaitForImage(window, [](const XServer::Image& image) {
      return AnyPixel(image, PixelsOf(vf::ui::kIdOk), Green) && AnyPixel(image, PixelsOf(vf::ui::kIdCancel), Red) &&
             !RowIsEdit(image, IDC_ROW2_PLACEHOLDER) && !RowIsEdit(image, IDC_ROW3_PLACEHOLDER);
    });
    if (ending == Ending::kOk) Screenshot(window, "config-dialog-serial.png");

    ChooseTcpIp(window);
    WaitForImage(window, [](const XServer::Image& image) {
      return RowIsEdit(image, IDC_ROW2_PLACEHOLDER) && RowIsEdit(image, IDC_ROW3_PLACEHOLDER) &&
             !RowIsEdit(image, IDC_ROW1_PLACEHOLDER);
    });
    if (ending == Ending::kOk) Screenshot(window, "config-dialog-tcpip.png");
    Click(window, FieldRect(IDC_ROW2_PLACEHOLDER, false));
    Type("ais.example.net");
    Click(window, FieldRect(IDC_ROW3_PLACEHOLDER, false));
    Keys({"ctrl+a"});
    Type(" 8080");
    if (ending == Ending::kEscape) {
      Keys({"Escape"});
    } else {
      Click(window, PixelsOf(ending == Ending::kOk ? vf::ui::kIdOk : vf::ui::kIdCancel));
    }
    ASSERT_EQ(m_host.Wait(), 0) << m_host.Errors();
    EXPECT_EQ(m_host.Output(), ending == Ending::kOk ? ConfigurationLine(1, 8080, "ais.example.net")
                                                     : ConfigurationLine(0, 0, ""));
    EXPECT_EQ(m_host.Errors().find("the configuration dialog was cancelled") != std::string::npos,
              ending != Ending::kOk)
        << m_host.Errors();
  }
}

// Without a display the dialog fails at once and the plug-in says nothing.
TEST(ConfigDialogWithoutDisplay, ConfigurePluginReturnsMinusOneAndTheRecordStays) {
  HostProgram host;
  host.Start({"--tcp", "192.0.2.1", "--port", "4001", "--configure", "--no-start"}, {"DISPLAY="});
  ASSERT_EQ(host.Wait(milliseconds(10000)), 0) << host.Errors();
  EXPECT_NE(host.Output().find("\"m_nConnectionType\":1,"), std::string::npos) << host.Output();
  EXPECT_NE(host.Output().find("\"m_nIpPort\":4001,"), std::string::npos) << host.Output();
  EXPECT_NE(host.Errors().find("cannot be shown here"), std::string::npos) << host.Errors();
}

// The X server going away while the dialog is open, or between two dialogs:
// ConfigurePlugin returns -1, the process lives on (Xlib would end it), and
// later dialogs fail at once. In this process, not the host's: each case
// runs in a process of its own.
TEST(ConfigDialogDisplayLost, WhileTheDialogIsOpenOrBetweenTwo) {
  for (const bool betweenTwo : {false, true}) {
    SCOPED_TRACE(betweenTwo ? "between two dialogs" : "while the dialog is open");
    const pid_t child = fork();
    if (child == 0) {
      XServer server;
      if (!server.Ready()) _exit(2);
      setenv("DISPLAY", server.Name().c_str(), 1);
      CAISApp app;
      auto dialog = std::async(std::launch::async, [&] { return app.ConfigurePlugin(); });
      std::optional<Window> window;
      const bool shown = vf::test::WaitUntil(
          [&] { return (window = server.FindWindow(vf::ui::kDialogTitle)).has_value(); }, milliseconds(15000));
      if (!shown) _exit(3);
      if (betweenTwo) {
        // Focus first, as a person's click gives it; then Escape cancels.
        if (RunTool({"xdotool", "mousemove", "--window", std::to_string(*window), "5", "5", "click", "1", "key",
                     "--delay", "20", "Escape"},
                    server.Name()) != 0) {
          _exit(4);
        }
        if (dialog.wait_for(std::chrono::seconds(10)) != std::future_status::ready || dialog.get() != -1) _exit(5);
        server.Kill();
        if (app.ConfigurePlugin() != -1) _exit(6);
      } else {
        server.Kill();
        if (dialog.wait_for(std::chrono::seconds(5)) != std::future_status::ready || dialog.get() != -1) _exit(7);
      }
      _exit(app.ConfigurePlugin() == -1 ? 0 : 8);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the process ended on signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(vf::test::ExitCodeOf(status), 0);
  }
}

}  // namespace
