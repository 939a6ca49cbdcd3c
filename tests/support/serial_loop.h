// A pseudo-terminal whose far side appears as COMn: the folder named by
// VF_SERIAL_DIR holds a link "comN" to it. The test writes to the near side.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace vf::test {

class SerialLoop {
 public:
  explicit SerialLoop(int portNumber) {
    static std::atomic<int> serial{0};
    m_folder = std::filesystem::temp_directory_path() /
               ("serial-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    m_link = m_folder / ("com" + std::to_string(portNumber));
    std::filesystem::create_directories(m_folder);
    setenv("VF_SERIAL_DIR", m_folder.c_str(), 1);
    OpenTerminal();
  }
  ~SerialLoop() {
    if (m_master >= 0) close(m_master);
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    unsetenv("VF_SERIAL_DIR");
  }
  SerialLoop(const SerialLoop&) = delete;
  SerialLoop& operator=(const SerialLoop&) = delete;

  // The receiver unplugged: the terminal hangs up and COMn names nothing.
  void Unplug() {
    close(m_master);
    m_master = -1;
    std::filesystem::remove(m_link);
  }
  // Plugged in again: COMn names a new terminal.
  void PlugIn() { OpenTerminal(); }

  int Master() const { return m_master; }
  std::string Folder() const { return m_folder.string(); }
  std::string DevicePath() const { return ptsname(m_master); }
  bool Send(const std::string& bytes) { return write(m_master, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }

 private:
  void OpenTerminal() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(m_master);
    unlockpt(m_master);
    std::filesystem::create_symlink(ptsname(m_master), m_link);
  }

  std::filesystem::path m_folder, m_link;
  int m_master = -1;
};

}  // namespace vf::test
