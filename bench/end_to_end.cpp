// End to end, as a user runs it: the simulator's traffic and the recordings
// sent as fast as loopback TCP takes them to `ais-host --json`, whose output
// is read here, against `gpsdecode -j` on the same file in the same run.
//
//   end_to_end_bench [--transmissions 300000]
//
// Prints lines per second of both, their ratio, and the host process's CPU.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "traffic.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The simulator's mix of every message type, then each recording once.
std::string MakeInput(unsigned transmissions, size_t& lines) {
  std::string input;
  lines = 0;
  vf::sim::Traffic traffic(500, 21);
  for (unsigned i = 0; i < transmissions; ++i) {
    for (const std::string& sentence : traffic.Next().sentences) {
      input += sentence + "\r\n";
      ++lines;
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(AIS_CORPUS_DIR)) {
    if (entry.path().extension() != ".log" && entry.path().extension() != ".aivdm") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
      input += line + "\r\n";
      ++lines;
    }
  }
  return input;
}

pid_t Spawn(std::vector<std::string> arguments, int inputFd, int outputFd, const std::string& errorsPath) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  if (inputFd >= 0) posix_spawn_file_actions_adddup2(&files, inputFd, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&files, outputFd, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

// gpsdecode -j over the file: seconds, and the JSON lines it printed.
double TimeGpsdecode(const std::string& path, size_t& printed) {
  FILE* output = std::tmpfile();
  const int input = open(path.c_str(), O_RDONLY);
  const auto start = Clock::now();
  const pid_t pid = Spawn({"gpsdecode", "-j"}, input, fileno(output), "/dev/null");
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "end_to_end_bench: gpsdecode failed (install gpsd-clients)\n");
    std::exit(2);
  }
  const double seconds = SecondsBetween(start, Clock::now());
  close(input);
  std::rewind(output);
  printed = 0;
  for (int c; (c = std::fgetc(output)) != EOF;) printed += c == '\n';
  std::fclose(output);
  return seconds;
}

// CPU seconds (user and system) from a /proc stat file.
double CpuSecondsOf(const std::string& statPath) {
  std::ifstream stat(statPath);
  const std::string text((std::istreambuf_iterator<char>(stat)), {});
  const size_t end = text.rfind(')');
  if (end == std::string::npos) return 0;
  std::vector<std::string> fields;
  for (size_t at = end + 2; at < text.size() && fields.size() < 13;) {
    const size_t space = text.find(' ', at);
    fields.push_back(text.substr(at, space - at));
    at = space + 1;
  }
  if (fields.size() < 13) return 0;
  return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The CPU of each of the process's threads, busiest first.
std::vector<double> ThreadCpuSeconds(pid_t pid) {
  std::vector<double> seconds;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : std::filesystem::directory_iterator(tasks)) {
    seconds.push_back(CpuSecondsOf(task.path().string() + "/stat"));
  }
  std::sort(seconds.rbegin(), seconds.rend());
  return seconds;
}

struct HostRun {
  double seconds = 0;  // first byte sent to last record read
  size_t records = 0;
  std::vector<double> threadCpuSeconds;
  std::string summary;  // the host's own closing line
};

// ais-host reading the input from a loopback TCP server of ours; done when
// its output has been quiet for two seconds.
HostRun TimeHost(const std::string& input) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 1);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  int output[2];
  if (pipe(output) != 0) std::exit(2);
  fcntl(output[0], F_SETPIPE_SZ, 1 << 20);  // a reader that keeps up, as a file would
  const std::string errors = (std::filesystem::temp_directory_path() / "ais-end-to-end.err").string();
  std::vector<std::string> arguments = {AIS_HOST_PATH, "--plugin", AIS_PLUGIN_PATH, "--tcp", "127.0.0.1",
                                        "--port", std::to_string(ntohs(address.sin_port)), "--json"};
  const pid_t host = Spawn(arguments, -1, output[1], errors);
  close(output[1]);
  pollfd connecting{listener, POLLIN, 0};
  if (host < 0 || poll(&connecting, 1, 20000) != 1) {
    std::fprintf(stderr, "end_to_end_bench: ais-host did not connect\n");
    std::exit(2);
  }
  const int peer = accept(listener, nullptr, nullptr);
  HostRun run;
  const auto start = Clock::now();
  std::thread sender([&] {
    for (size_t sent = 0; sent < input.size();) {
      const ssize_t n = send(peer, input.data() + sent, input.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
  });
  auto lastRecord = start;
  std::vector<char> chunk(1 << 20);
  pollfd readable{output[0], POLLIN, 0};
  while (poll(&readable, 1, 2000) == 1) {
    const ssize_t got = read(output[0], chunk.data(), chunk.size());
    if (got <= 0) break;
    run.records += static_cast<size_t>(std::count(chunk.data(), chunk.data() + got, '\n'));
    lastRecord = Clock::now();
  }
  sender.join();
  run.seconds = SecondsBetween(start, lastRecord);
  run.threadCpuSeconds = ThreadCpuSeconds(host);
  kill(host, SIGINT);
  waitpid(host, nullptr, 0);
  std::ifstream said(errors);
  for (std::string line; std::getline(said, line);) {
    if (line.rfind("stopped:", 0) == 0) run.summary = line;
  }
  std::filesystem::remove(errors);
  close(output[0]);
  close(peer);
  close(listener);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned transmissions = 300000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--transmissions") == 0 && i + 1 < argc) {
      transmissions = static_cast<unsigned>(std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: end_to_end_bench [--transmissions N]\n");
      return 1;
    }
  }
  size_t lines = 0;
  const std::string input = MakeInput(transmissions, lines);
  const std::string path = (std::filesystem::temp_directory_path() / "ais-end-to-end.nmea").string();
  std::ofstream(path, std::ios::binary) << input;

  size_t gpsdecodeRecords = 0;
  const double gpsdecodeSeconds = TimeGpsdecode(path, gpsdecodeRecords);
  const HostRun host = TimeHost(input);
  std::filesystem::remove(path);

  const double hostRate = static_cast<double>(lines) / host.seconds;
  const double gpsdecodeRate = static_cast<double>(lines) / gpsdecodeSeconds;
  std::printf("%zu lines over loopback TCP into ais-host --json\n", lines);
  std::printf("ais-host + plug-in: %zu records in %.3f s, %.2f M lines/s; CPU of its busiest threads:",
              host.records, host.seconds, hostRate / 1e6);
  for (size_t i = 0; i < host.threadCpuSeconds.size() && i < 3; ++i) std::printf(" %.2f s", host.threadCpuSeconds[i]);
  std::printf("\nais-host said: %s\n", host.summary.c_str());
  std::printf("gpsdecode -j:       %zu records in %.3f s, %.2f M lines/s\n", gpsdecodeRecords, gpsdecodeSeconds,
              gpsdecodeRate / 1e6);
  std::printf("end to end: %.2f times gpsdecode\n", hostRate / gpsdecodeRate);
  // A record the host's window could not take was never printed: the run
  // measured less work than gpsdecode's, so its ratio is no figure to quote.
  if (host.summary.find("not posted") != std::string::npos) {
    std::printf("records were lost (not posted): this run's ratio does not count\n");
    return 1;
  }
  return 0;
}
