#include "system_access.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <limits.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vf::host {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }
bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

size_t StandardErrorColumns() {
  winsize size{};
  return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

namespace {

std::filesystem::path g_comFolder;  // the host's own COM mapping, while it has one

}  // namespace

// COM1 in a folder of the host's own, given to the plug-in as VF_SERIAL_DIR.
bool MapSerialDevice(const std::string& device, int32_t& port, std::string& error) {
  std::error_code failure;
  const std::filesystem::path target = std::filesystem::absolute(device, failure);
  if (failure || !std::filesystem::exists(target, failure)) {
    error = "no serial device " + device + " (is the receiver plugged in?)";
    return false;
  }
  g_comFolder = std::filesystem::temp_directory_path() / ("ais-host-com-" + std::to_string(getpid()));
  std::filesystem::remove_all(g_comFolder, failure);
  std::filesystem::create_directories(g_comFolder, failure);
  if (!failure) std::filesystem::create_symlink(target, g_comFolder / "com1", failure);
  if (failure) {
    error = "cannot map " + device + " to a COM port in " + g_comFolder.string() + ": " + failure.message();
    return false;
  }
  setenv("VF_SERIAL_DIR", g_comFolder.c_str(), 1);
  port = 1;
  return true;
}

void UnmapSerialDevice() {
  if (g_comFolder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(g_comFolder, ignored);
  g_comFolder.clear();
}

bool WriteToOutput(std::string_view bytes, const volatile std::sig_atomic_t& stop) {
  std::fflush(stdout);  // what went through stdio first stays first
  while (!bytes.empty()) {
    pollfd ready{STDOUT_FILENO, POLLOUT, 0};
    const int polled = poll(&ready, 1, 100);
    if (stop) return false;
    if (polled < 0 && errno != EINTR) return false;
    if (polled <= 0) continue;
    // Room for PIPE_BUF bytes at least: a write of that many does not wait.
    const ssize_t written = write(STDOUT_FILENO, bytes.data(), std::min<size_t>(bytes.size(), PIPE_BUF));
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

void OnStopSignals(void (*handler)(int)) {
  // Without SA_RESTART: a write to a reader that stalled ends with the signal
  // instead of going on waiting.
  struct sigaction stop {};
  stop.sa_handler = handler;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = 0;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &stop, nullptr);  // SIGHUP: the terminal closed
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace vf::host

namespace vf::host {
namespace {

class FileBytes : public InputBytes {
 public:
  explicit FileBytes(int fd) : m_fd(fd) {}
  ~FileBytes() override { close(m_fd); }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  size_t Read(char* buffer, size_t size, const std::atomic<bool>& stop) override {
    while (!stop) {
      pollfd ready{m_fd, POLLIN, 0};
      if (poll(&ready, 1, 100) == 0) continue;
      const ssize_t got = read(m_fd, buffer, size);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      return got > 0 ? static_cast<size_t>(got) : 0;
    }
    return 0;
  }

 private:
  int m_fd;
};

}  // namespace

std::unique_ptr<InputBytes> OpenInput(const std::string& path, std::string& error) {
  const int fd = path == "-" ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read the recording " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<FileBytes>(fd);
}

}  // namespace vf::host
