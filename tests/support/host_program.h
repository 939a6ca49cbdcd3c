// The reference host run as a user runs it: in a private trace folder and
// object namespace, its output in files.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/wait_until.h"

extern char** environ;

namespace vf::test {

using std::chrono::milliseconds;

// This process's environment with `settings` ("NAME=value") in place of
// the same names; a setting "NAME=" with nothing after it removes NAME.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings) {
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
  std::vector<std::string> entries;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    const bool replaced = std::any_of(settings.begin(), settings.end(),
                                      [&](const std::string& setting) { return nameOf(setting) == nameOf(entry); });
    if (!replaced) entries.push_back(entry);
  }
  for (const std::string& setting : settings) {
    if (setting.back() != '=') entries.push_back(setting);
  }
  return entries;
}

class HostProgram {
 public:
  HostProgram() {
    static int serial = 0;
    m_folder = std::filesystem::temp_directory_path() / ("host-test-" + std::to_string(getpid()) + "-" +
                                                         std::to_string(serial++));
    std::filesystem::create_directories(m_folder);
  }
  ~HostProgram() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }

  // `environment`: variables to set for this run ("NAME=value"), or to
  // remove ("NAME=" with nothing after it).
  void Start(std::vector<std::string> arguments, const std::vector<std::string>& environment = {}) {
    arguments.insert(arguments.begin(), {AIS_HOST_PATH, "--plugin", AIS_PLUGIN_PATH});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> settings = {"PROGRAMDATA=" + m_folder.string(),
                                         "VF_OBJECT_NAMESPACE=" + m_folder.filename().string()};
    settings.insert(settings.end(), environment.begin(), environment.end());
    std::vector<std::string> entries = EnvironmentWith(settings);
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, (m_folder / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, (m_folder / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(posix_spawn(&m_pid, argv[0], &files, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&files);
  }

  // The exit code, or -1 when the program did not end by the deadline.
  int Wait(milliseconds deadline = milliseconds(30000)) {
    int status = 0;
    const bool ended = vf::test::WaitUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, deadline);
    if (!ended) return -1;
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void Interrupt() const { kill(m_pid, SIGINT); }

  std::string Output() const { return Read("stdout"); }
  std::string Errors() const { return Read("stderr"); }
  std::vector<std::string> OutputLines() const {
    std::vector<std::string> lines;
    std::istringstream in(Output());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::string Read(const char* name) const {
    std::ifstream in(m_folder / name);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path m_folder;
  pid_t m_pid = -1;
};

}  // namespace vf::test
