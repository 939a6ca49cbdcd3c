// Other programs started as a shell starts them, for the tests that need a
// real process: the reference host, Xvfb and xdotool, trace writers.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace vf::test {

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

// Where a child's standard output or error goes: this process's own (empty),
// a file written from its start, or (output only) a pipe this process reads.
// Its standard input: this process's own, a file, or a pipe this process
// writes.
struct ChildOutputs {
  std::string output{}, errors{};
  int* outputPipe = nullptr;  // set: receives the read end of the child's standard output
  std::string input{};        // a file to read as standard input
  int* inputPipe = nullptr;   // set: receives the write end of the child's standard input
};

// Starts `arguments` (a path, or a name found on PATH) with the environment
// changed by `settings`. Returns the pid, or -1 when it could not start.
inline pid_t Spawn(std::vector<std::string> arguments, const std::vector<std::string>& settings,
                   const ChildOutputs& outputs = {}) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> entries = EnvironmentWith(settings);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int pipeEnds[2] = {-1, -1};
  if (outputs.outputPipe != nullptr && pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
  int inputEnds[2] = {-1, -1};
  if (outputs.inputPipe != nullptr && pipe2(inputEnds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  if (inputEnds[0] >= 0) {
    posix_spawn_file_actions_adddup2(&files, inputEnds[0], STDIN_FILENO);
  } else if (!outputs.input.empty()) {
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, outputs.input.c_str(), O_RDONLY, 0);
  }
  if (pipeEnds[1] >= 0) {
    posix_spawn_file_actions_adddup2(&files, pipeEnds[1], STDOUT_FILENO);
  } else if (!outputs.output.empty()) {
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, outputs.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  if (!outputs.errors.empty()) {
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, outputs.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&files);
  if (pipeEnds[1] >= 0) {
    close(pipeEnds[1]);
    *outputs.outputPipe = pipeEnds[0];
  }
  if (inputEnds[0] >= 0) {
    close(inputEnds[0]);
    *outputs.inputPipe = inputEnds[1];
  }
  return pid;
}

// The exit code of a child that ended, or -1 when it was killed by a signal.
inline int ExitCodeOf(int waitStatus) { return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

// A program run to its end: its exit code (-1 when it could not start or
// was killed) and all it wrote to standard output.
struct Finished {
  int exitCode = -1;
  std::string output;
};

inline Finished RunToEnd(std::vector<std::string> arguments, const std::vector<std::string>& settings = {}) {
  int output = -1;
  const pid_t pid = Spawn(std::move(arguments), settings, {.outputPipe = &output});
  if (pid <= 0) return {};
  Finished finished;
  char buffer[256];
  for (ssize_t got; (got = read(output, buffer, sizeof buffer)) > 0;) {
    finished.output.append(buffer, static_cast<size_t>(got));
  }
  close(output);
  int status = 0;
  waitpid(pid, &status, 0);
  finished.exitCode = ExitCodeOf(status);
  return finished;
}

}  // namespace vf::test
