// Small helpers of the benchmark programs that run the vek command against the
// loopback board server: files, ages, child processes and the server itself.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vek::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The core's path form of a POSIX directory: "\" separators.
inline std::string CoreDir(const fs::path& dir) {
  std::string s = dir.string() + "/";
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

// The settings file's stamp moved back: the pause between checks is over.
inline void AgeFile(const fs::path& path, int secondsAgo) {
  struct timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= secondsAgo;
  times[1] = times[0];
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// A child with its output (both streams) in outFile.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::string& outFile) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    int nullFd = open("/dev/null", O_RDONLY);
    if (nullFd >= 0) dup2(nullFd, 0);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// The loopback board server over root, every host directory on 127.0.0.1 with
// a port of its own, gzip bodies, and any further options of the server's.
// Stopped with the object.
class TBoardServer {
 public:
  TBoardServer(const std::string& binary, const fs::path& root, const fs::path& work,
               const std::vector<std::string>& extra = {}) {
    fs::path ports = work / "ports.txt";
    std::vector<std::string> args = {binary, "--root", root.string(), "--ports-file", ports.string(),
                                     "--single-address", "--gzip", "--time-limit", "3600"};
    args.insert(args.end(), extra.begin(), extra.end());
    Pid = Spawn(args, (work / "server.out").string());
    static const std::regex hostLine(R"(^host (\S+) 127\.0\.0\.1:([0-9]+))");
    for (int i = 0; i < 400 && !Ready; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      std::istringstream in(ReadBytes(ports));
      for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, hostLine)) Ports[m[1]] = m[2];
        if (line == "ready") Ready = true;
      }
    }
  }
  ~TBoardServer() {
    if (Pid > 0) {
      kill(Pid, SIGTERM);
      waitpid(Pid, nullptr, 0);
    }
  }
  TBoardServer(const TBoardServer&) = delete;
  TBoardServer& operator=(const TBoardServer&) = delete;

  bool Ready = false;
  std::map<std::string, std::string> Ports;  // host directory -> port

 private:
  pid_t Pid = -1;
};

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace vek::bench
