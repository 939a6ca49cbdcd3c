// The reference host run as a user runs it: in a private trace folder and
// object namespace, its output in files.
#pragma once

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/wait_until.h"

namespace vf::test {

using std::chrono::milliseconds;

// Where the program's standard input comes from: nothing (/dev/null, not a
// terminal), a file, or a pipe the test writes (HostProgram::InputPipe()).
struct HostInput {
  std::string file = "/dev/null";
  bool piped = false;
};

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
    if (m_outputPipe >= 0) close(m_outputPipe);
    if (m_inputPipe >= 0) close(m_inputPipe);
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }

  // `environment`: variables to set for this run ("NAME=value"), or to
  // remove ("NAME=" with nothing after it). With `pipedOutput` the standard
  // output is a pipe for OutputPipe() instead of a file.
  void Start(std::vector<std::string> arguments, const std::vector<std::string>& environment = {},
             bool pipedOutput = false, const HostInput& input = {}) {
    arguments.insert(arguments.begin(), {AIS_HOST_PATH, "--plugin", AIS_PLUGIN_PATH});
    std::vector<std::string> settings = {"PROGRAMDATA=" + m_folder.string(),
                                         "VF_OBJECT_NAMESPACE=" + m_folder.filename().string()};
    settings.insert(settings.end(), environment.begin(), environment.end());
    m_pid = Spawn(arguments, settings,
                  {(m_folder / "stdout").string(), (m_folder / "stderr").string(),
                   pipedOutput ? &m_outputPipe : nullptr, input.piped ? "" : input.file,
                   input.piped ? &m_inputPipe : nullptr});
    ASSERT_GT(m_pid, 0);
  }

  // The exit code, or -1 when the program did not end by the deadline.
  int Wait(milliseconds deadline = milliseconds(30000)) {
    int status = 0;
    const bool ended = vf::test::WaitUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, deadline);
    if (!ended) return -1;
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void Interrupt(int signal = SIGINT) const { kill(m_pid, signal); }
  const std::filesystem::path& Folder() const { return m_folder; }  // its PROGRAMDATA
  int OutputPipe() const { return m_outputPipe; }
  int InputPipe() const { return m_inputPipe; }
  void CloseInputPipe() {
    close(m_inputPipe);
    m_inputPipe = -1;
  }
  void CloseOutputPipe() {
    close(m_outputPipe);
    m_outputPipe = -1;
  }

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
  int m_outputPipe = -1;
  int m_inputPipe = -1;
};

}  // namespace vf::test
