// Whole check runs at scale: 20,000 watched threads on 500 boards of 1,000
// lines each, served gzip-encoded by the loopback board server; a first run
// and a second one right after it (the settings stamp moved back, as a user
// who waited would have it). Prints each step's elapsed figure from the log,
// the peak memory of each run, and a reference for steps 5 to 7 measured in
// the same process: reading every index and cache file once and writing the
// files that the second run changed.
//
//   bench_run [--boards N] [--lines N] [--watched-per-board N] [--keep]
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct TOptions {
  int Boards = 500;
  int Lines = 1000;
  int WatchedPerBoard = 40;
  bool Keep = false;
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The core's path form of a POSIX directory: "\" separators.
std::string CoreDir(const fs::path& dir) {
  std::string s = dir.string() + "/";
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

void AgeFile(const fs::path& path, int secondsAgo) {
  struct timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= secondsAgo;
  times[1] = times[0];
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string& outFile) {
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

// ---------------------------------------------------------------- data

// Thread key of line i of board b: ten digits, unique over the whole set.
long long KeyOf(int board, int line) { return 1600000000LL + board * 2000LL + line; }
int CountOf(int board, int line) { return (line * 7 + board) % 997 + 1; }
std::string BoardName(int board) {
  char name[16];
  std::snprintf(name, sizeof name, "b%03d", board);
  return name;
}

struct TWorld {
  fs::path Root, Boards, Host, Prog;
  std::string HostPart;   // "127.0.0.1%3A{port}"
  std::string HostUrl;    // "127.0.0.1:{port}"
};

// Board lists as a server sends them: newest (highest key) first.
void WriteBoards(const TWorld& w, const TOptions& o) {
  for (int b = 0; b < o.Boards; ++b) {
    std::string body;
    body.reserve(static_cast<size_t>(o.Lines) * 80);
    for (int i = o.Lines - 1; i >= 0; --i) {
      body += std::to_string(KeyOf(b, i)) + ".dat<>" + "ベンチマーク用のスレッド 板" + std::to_string(b) + " その" +
              std::to_string(i) + " (" + std::to_string(CountOf(b, i)) + ")\n";
    }
    WriteBytes(w.Boards / "h" / BoardName(b) / "subject.txt", body);
  }
}

// Watched threads spread over each board; every tenth board has one watched
// thread that is no longer on it. Local counts lag a little behind, so some
// threads have news.
int WriteHost(const TWorld& w, const TOptions& o) {
  std::string lists[2];
  int watched = 0;
  int step = std::max(1, o.Lines / o.WatchedPerBoard);
  for (int b = 0; b < o.Boards; ++b) {
    for (int n = 0; n < o.WatchedPerBoard; ++n) {
      int line = n * step;
      bool fallen = n == o.WatchedPerBoard - 1 && b % 10 == 0;
      if (fallen) line = o.Lines + 1;  // a key the board no longer lists
      std::string key = std::to_string(KeyOf(b, line));
      std::string rel = w.HostPart + "\\" + BoardName(b) + "\\" + key + ".idx";
      int server = CountOf(b, line);
      int local = server - line % 3;
      std::string record = "1\t0\t0\tベンチマーク用のスレッド 板" + std::to_string(b) + " その" + std::to_string(line) + "\t" +
                           w.HostUrl + "\t" + BoardName(b) + "\t" + key + "\t" + std::to_string(local) + "\t" +
                           std::to_string(local) + "\t-1\t2026/12/01 20:00:00\t\t\t0\t\t\t0\t\t\t\t\r\n";
      WriteBytes(w.Host / "log" / w.HostPart / BoardName(b) / (key + ".idx"), record);
      lists[watched % 2] += rel + "\r\n";
      ++watched;
    }
  }
  WriteBytes(w.Host / "favorite.idx", lists[0]);
  WriteBytes(w.Host / "work.idx", lists[1]);
  return watched;
}

// ---------------------------------------------------------------- runs

struct TRun {
  double Wall = 0;
  long PeakKb = 0;
  int ExitCode = -1;
  std::map<std::string, double> Steps;  // log label -> seconds
  int Boards = 0, Failed = 0;
};

TRun RunCheck(const std::string& vek, const TWorld& w, const std::string& outFile) {
  TRun run;
  auto start = Clock::now();
  // The log's figures have two decimals; the download step has none of its
  // own. Its lines are timed as they arrive (the command writes each log
  // line as soon as the next one begins).
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return run;
  std::string pipeArg = "/dev/fd/" + std::to_string(pipeFds[1]);
  pid_t pid = Spawn({vek, "check", "--dir", w.Prog.string()}, pipeArg);
  close(pipeFds[1]);
  std::string output, pending;
  Clock::time_point downloadStart{}, downloadEnd{};
  char buf[65536];
  for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) {
    auto now = Clock::now();
    output.append(buf, static_cast<size_t>(n));
    pending.append(buf, static_cast<size_t>(n));
    for (size_t eol; (eol = pending.find('\n')) != std::string::npos; pending.erase(0, eol + 1)) {
      std::string line = pending.substr(0, eol);
      if (line.rfind("Get subject.txt: start", 0) == 0) downloadStart = now;
      if (line.rfind("Get subject.txt: done", 0) == 0) downloadEnd = now;
    }
  }
  close(pipeFds[0]);
  WriteBytes(outFile, output);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  run.Wall = Seconds(start);
  run.PeakKb = usage.ru_maxrss;
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

  std::istringstream log(output);
  static const std::regex seconds(R"(done\(([0-9]+)[.,]([0-9]+)s\))");
  static const std::regex millis(R"(Generate Dat List: done\(([0-9]+)\)$)");
  std::string line;
  double download = 0;
  while (std::getline(log, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::smatch m;
    double value = 0;
    bool timed = false;
    if (std::regex_search(line, m, seconds)) {
      value = std::stod(m[1].str() + "." + m[2].str());
      timed = true;
    }
    if (line.rfind("  Get ", 0) == 0) {
      ++run.Boards;
      if (line.find("failed(") != std::string::npos || line.find("skipped") != std::string::npos) ++run.Failed;
      download += value;
    } else if (line.rfind("Generate Dat List: done(", 0) == 0 && timed) {
      run.Steps["1 Dat list"] = value;
    } else if (std::regex_search(line, m, millis)) {
      run.Steps["4 Regenerate"] = std::stod(m[1].str()) / 1000.0;
    } else if (line.rfind("Generate Subject List", 0) == 0 && timed) {
      run.Steps["2 Subject list"] = value;
    } else if (line.rfind("Set Res Count", 0) == 0 && timed) {
      run.Steps["5 Res count"] = value;
    } else if (line.rfind("Write Dead Threads Data", 0) == 0 && timed) {
      run.Steps["6 Dead threads"] = value;
    } else if (line.rfind("Write New Threads Data", 0) == 0 && timed) {
      run.Steps["7 New threads"] = value;
    }
  }
  // The per-board figures are cut to two decimals, so their sum falls short;
  // the timed lines give the step's length.
  if (downloadEnd > downloadStart && downloadStart != Clock::time_point{})
    run.Steps["3 Downloads"] = std::chrono::duration<double>(downloadEnd - downloadStart).count();
  else
    run.Steps["3 Downloads"] = download;
  if (!run.Steps.count("4 Regenerate")) run.Steps["4 Regenerate"] = 0;  // skipped: no ignored thread list file
  return run;
}

using TContents = std::map<std::string, std::string>;

TContents ReadTree(const fs::path& dir) {
  TContents all;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) all[e.path().string()] = ReadBytes(e.path());
  return all;
}

// The reference for steps 5 to 7: every index file and every cache and
// snapshot file read once through the platform layer, then the files that the
// run changed written the way the tool must write them (atomically, flushed).
double Reference(const TWorld& w, const TContents& changed, size_t& filesRead) {
  std::vector<std::string> inputs;
  for (const auto& e : fs::recursive_directory_iterator(w.Host / "log"))
    if (e.is_regular_file() && e.path().extension() == ".idx") inputs.push_back(e.path().string());
  for (const auto& e : fs::directory_iterator(w.Prog / "subject"))
    if (e.is_regular_file()) inputs.push_back(e.path().string());
  auto start = Clock::now();
  size_t bytes = 0;
  for (const auto& p : inputs) bytes += vek::platform::ReadWholeFile(p).size();
  for (const auto& [path, content] : changed) vek::platform::ReplaceFileAtomically(path, content);
  double elapsed = Seconds(start);
  filesRead = inputs.size();
  if (bytes == 0) std::fprintf(stderr, "reference read nothing\n");
  return elapsed;
}

void PrintRun(const char* title, const TRun& run) {
  std::printf("%s: exit %d, wall %.2f s, peak memory %.1f MB, %d boards (%d failed or skipped)\n", title, run.ExitCode,
              run.Wall, run.PeakKb / 1024.0, run.Boards, run.Failed);
  for (const auto& [label, value] : run.Steps) std::printf("  step %-20s %8.2f s\n", label.c_str(), value);
}

double Steps5To7(const TRun& run) {
  double sum = 0;
  for (const char* k : {"5 Res count", "6 Dead threads", "7 New threads"}) {
    auto it = run.Steps.find(k);
    if (it != run.Steps.end()) sum += it->second;
  }
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--boards" && i + 1 < argc) o.Boards = std::atoi(argv[++i]);
    else if (a == "--lines" && i + 1 < argc) o.Lines = std::atoi(argv[++i]);
    else if (a == "--watched-per-board" && i + 1 < argc) o.WatchedPerBoard = std::atoi(argv[++i]);
    else if (a == "--keep") o.Keep = true;
    else {
      std::fprintf(stderr, "usage: bench_run [--boards N] [--lines N] [--watched-per-board N] [--keep]\n");
      return 64;
    }
  }
  std::string vek = std::string(VEK_BINARY_DIR) + "/vek";
#ifdef VEK_BOARD_SERVER
  std::string serverBin = VEK_BOARD_SERVER;
#else
  std::string serverBin;
#endif
  if (!fs::exists(vek) || serverBin.empty() || !fs::exists(serverBin)) {
    std::fprintf(stderr, "bench_run needs the vek command and vek-board-server built (targets vek, vek-board-server)\n");
    return 1;
  }

  TWorld w;
  char tmpl[] = "/tmp/vek-run-bench-XXXXXX";
  w.Root = mkdtemp(tmpl);
  w.Boards = w.Root / "boards";
  w.Host = w.Root / "host";
  w.Prog = w.Root / "prog";
  fs::create_directories(w.Prog);

  auto prepare = Clock::now();
  WriteBoards(w, o);
  fs::path ports = w.Root / "ports.txt";
  pid_t server = Spawn({serverBin, "--root", w.Boards.string(), "--ports-file", ports.string(), "--single-address",
                        "--gzip", "--time-limit", "3600"},
                       (w.Root / "server.out").string());
  std::string port;
  for (int i = 0; i < 200 && port.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::istringstream in(ReadBytes(ports));
    std::string line;
    while (std::getline(in, line)) {
      std::smatch m;
      if (std::regex_search(line, m, std::regex(R"(^host h 127\.0\.0\.1:([0-9]+))"))) port = m[1];
    }
  }
  if (port.empty()) {
    std::fprintf(stderr, "the board server did not start\n");
    kill(server, SIGTERM);
    return 1;
  }
  w.HostPart = "127.0.0.1%3A" + port;
  w.HostUrl = "127.0.0.1:" + port;
  int watched = WriteHost(w, o);
  WriteBytes(w.Prog / "vek.ini", "[dorvella]\r\nDirectory=" + CoreDir(w.Host) +
                                     "\r\n[VEK]\r\nPrimarySuffixes=127.0.0.1\r\nNotifySound=0\r\n");
  AgeFile(w.Prog / "vek.ini", 600);
  std::printf("%d watched threads on %d boards of %d lines (prepared in %.1f s, files in %s)\n\n", watched, o.Boards,
              o.Lines, Seconds(prepare), w.Root.c_str());

  TRun first = RunCheck(vek, w, (w.Root / "run1.log").string());
  PrintRun("First run", first);

  // Right after it, as if the three minutes had passed.
  AgeFile(w.Prog / "vek.ini", 200);
  TContents before = ReadTree(w.Root / "host");
  TContents beforeProg = ReadTree(w.Prog);
  before.insert(beforeProg.begin(), beforeProg.end());
  TRun second = RunCheck(vek, w, (w.Root / "run2.log").string());
  std::printf("\n");
  PrintRun("Second run", second);

  TContents after = ReadTree(w.Root / "host");
  TContents afterProg = ReadTree(w.Prog);
  after.insert(afterProg.begin(), afterProg.end());
  TContents changed;
  for (const auto& [path, content] : after) {
    auto it = before.find(path);
    if (it == before.end() || it->second != content) changed[path] = content;
  }
  size_t filesRead = 0;
  double reference = Reference(w, changed, filesRead);
  double steps = Steps5To7(second);
  double peak = std::max(first.PeakKb, second.PeakKb) / 1024.0;
  std::printf("\nReference: %zu index, cache and snapshot files read, %zu changed files written: %.2f s\n", filesRead,
              changed.size(), reference);
  for (const auto& [path, content] : changed) std::printf("  changed: %s\n", fs::relative(path, w.Root).c_str());
  std::printf("Steps 5-7 of the second run: %.2f s = %.2f x the reference (target: at most 2 x) -> %s\n", steps,
              reference > 0 ? steps / reference : 0.0, steps <= 2 * reference ? "met" : "NOT met");
  std::printf("Peak memory: %.1f MB (target: under 200 MB) -> %s\n", peak, peak < 200 ? "met" : "NOT met");

  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  if (!o.Keep) fs::remove_all(w.Root);
  return 0;
}
