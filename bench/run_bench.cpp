// Whole check runs at scale: 20,000 watched threads on 500 boards of 1,000
// lines each, served gzip-encoded by the loopback board server; a first run
// and a second one right after it (the settings stamp moved back, as a user
// who waited would have it), with 10% of the watched threads given new
// responses in between. Prints each step's elapsed figure from the log, the
// peak memory and CPU time of each run, and a reference for the local steps
// (1, 2, 5, 6 and 7) measured in the same process: a plain loop that reads
// every index file twice and every cache and snapshot file once, and rewrites
// the files that the second run changed through a temporary file and a
// rename, synced as the tool syncs them (the host browser's files 64 at a
// time, flushed together; the cache and snapshots not at all).
//
//   bench_run [--boards N] [--lines N] [--watched-per-board N] [--full N] [--keep] [--table NAME]
// --table adds one tab-separated line per figure for scripts/bench.sh.
// --full N turns the next-thread report on and fills N watched threads up
// (1,000 responses on the server, spread evenly over the boards); its step is
// then measured against the local steps.
#include <sys/resource.h>

#include <cstdio>
#include <atomic>
#include <cstdlib>

#include "BenchProcess.h"

using namespace vek::bench;

namespace {

struct TOptions {
  int Boards = 500;
  int Lines = 1000;
  int WatchedPerBoard = 40;
  int Full = 0;  // watched threads full on the server; above 0 the next-thread report is on
  bool Keep = false;
  std::string Table;  // the label of the table lines; empty: none
};

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

int WatchStep(const TOptions& o) { return std::max(1, o.Lines / std::max(1, o.WatchedPerBoard)); }

// Every tenth watched thread, once bumped: new responses since the first run.
int ServerCount(const TOptions& o, int board, int line, bool bumped) {
  const int step = WatchStep(o);
  const bool watched = line % step == 0 && line / step < o.WatchedPerBoard;
  const int fullPerBoard = o.Full / std::max(1, o.Boards);
  if (watched && line / step < fullPerBoard) return 1000;
  return CountOf(board, line) + (bumped && watched && (line / step) % 10 == 0 ? 5 : 0);
}

// Board lists as a server sends them: newest (highest key) first.
void WriteBoards(const TWorld& w, const TOptions& o, bool bumped) {
  for (int b = 0; b < o.Boards; ++b) {
    std::string body;
    body.reserve(static_cast<size_t>(o.Lines) * 80);
    for (int i = o.Lines - 1; i >= 0; --i) {
      body += std::to_string(KeyOf(b, i)) + ".dat<>" + "ベンチマーク用のスレッド 板" + std::to_string(b) + " その" +
              std::to_string(i) + " (" + std::to_string(ServerCount(o, b, i, bumped)) + ")\n";
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
  const int step = WatchStep(o);
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
  double Cpu = 0;  // user and system time
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
  run.Cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
    } else if (line.rfind("Write Next Threads Data", 0) == 0 && timed) {
      run.Steps["6 Next threads"] = value;
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
// Path -> hash of the bytes: small, so that the bench's own memory, which a
// forked child counts until it execs, stays out of the run's peak figure.
using THashes = std::map<std::string, size_t>;

THashes HashTree(const fs::path& dir) {
  THashes all;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) all[e.path().string()] = std::hash<std::string>{}(ReadBytes(e.path()));
  return all;
}

// ---------------------------------------------------------------- reference

std::string PlainRead(const std::string& path) {
  std::string bytes;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat st {};
  fstat(fd, &st);
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t used = 0;
  for (ssize_t n; used < bytes.size() && (n = read(fd, bytes.data() + used, bytes.size() - used)) > 0;)
    used += static_cast<size_t>(n);
  bytes.resize(used);
  close(fd);
  return bytes;
}

int PlainWriteTemp(const std::string& path, const std::string& bytes) {
  int fd = open((path + ".tmp").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fd;
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return fd;
}

// Files written beside their targets and renamed over them; when synced,
// all of them flushed first, eight flushes at a time.
void PlainReplace(const std::vector<std::pair<std::string, std::string>>& files, bool sync) {
  std::vector<int> fds;
  for (const auto& [path, bytes] : files) fds.push_back(PlainWriteTemp(path, bytes));
  if (sync) {
    std::atomic<size_t> next{0};
    auto flush = [&] {
      for (size_t i; (i = next++) < fds.size();)
        if (fds[i] >= 0) fsync(fds[i]);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < 8; ++t) helpers.emplace_back(flush);
    flush();
    for (auto& helper : helpers) helper.join();
  }
  for (int fd : fds)
    if (fd >= 0) close(fd);
  for (const auto& [path, bytes] : files) rename((path + ".tmp").c_str(), path.c_str());
}

bool IsSubjectFile(const std::string& path) {
  return path.find("/prog/subject/") != std::string::npos;
}

// The plain loop the local steps are measured against: every index file read
// twice (the Dat list and the count update each read it), every cache and
// snapshot file once, then the host browser's files and snapshots that the
// run changed written.
double Reference(const TWorld& w, const TContents& changed, size_t& filesRead) {
  std::vector<std::string> indexes, subjects;
  for (const auto& e : fs::recursive_directory_iterator(w.Host / "log"))
    if (e.is_regular_file() && e.path().extension() == ".idx") indexes.push_back(e.path().string());
  for (const auto& e : fs::directory_iterator(w.Prog / "subject"))
    if (e.is_regular_file()) subjects.push_back(e.path().string());
  auto start = Clock::now();
  size_t bytes = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& p : indexes) bytes += PlainRead(p).size();
  for (const auto& p : subjects) bytes += PlainRead(p).size();
  std::vector<std::pair<std::string, std::string>> batch, unsynced;
  for (const auto& [path, content] : changed) {
    if (IsSubjectFile(path)) {
      unsynced.emplace_back(path, content);
      continue;
    }
    batch.emplace_back(path, content);
    if (batch.size() == 64) PlainReplace(batch, true), batch.clear();
  }
  PlainReplace(batch, true);
  PlainReplace(unsynced, false);
  double elapsed = Seconds(start);
  filesRead = indexes.size() * 2 + subjects.size();
  if (bytes == 0) std::fprintf(stderr, "reference read nothing\n");
  return elapsed;
}

void PrintRun(const char* title, const TRun& run) {
  std::printf("%s: exit %d, wall %.2f s, CPU %.2f s, peak memory %.1f MB, %d boards (%d failed or skipped)\n", title,
              run.ExitCode, run.Wall, run.Cpu, run.PeakKb / 1024.0, run.Boards, run.Failed);
  for (const auto& [label, value] : run.Steps) std::printf("  step %-20s %8.2f s\n", label.c_str(), value);
}

double LocalSteps(const TRun& run) {
  double sum = 0;
  for (const char* k : {"1 Dat list", "2 Subject list", "5 Res count", "6 Dead threads", "7 New threads"}) {
    auto it = run.Steps.find(k);
    if (it != run.Steps.end()) sum += it->second;
  }
  return sum;
}

// The files a run changed or created, with their new bytes. The settings
// file (only its stamp moves) and the log are not the steps' work.
THashes RunFiles(const TWorld& w) {
  THashes all = HashTree(w.Host);
  THashes prog = HashTree(w.Prog);
  all.insert(prog.begin(), prog.end());
  return all;
}

TContents Changed(const THashes& before, const THashes& after) {
  TContents changed;
  for (const auto& [path, hash] : after) {
    if (path.ends_with("/vek.ini") || path.ends_with("/veklog.txt")) continue;
    auto it = before.find(path);
    if (it == before.end() || it->second != hash) changed[path] = ReadBytes(path);
  }
  return changed;
}

void TableLine(const TOptions& o, const std::string& what, const std::string& measured,
               const std::string& reference, const std::string& ratio) {
  if (!o.Table.empty())
    std::printf("table\t%s: %s\t%s\t%s\t%s\n", o.Table.c_str(), what.c_str(), measured.c_str(), reference.c_str(),
                ratio.c_str());
}

std::string Fixed(double value, const char* unit) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%s", value, unit);
  return text;
}

void PrintTable(const TOptions& o, int watched, const TRun& first, const TRun& second, double local, double reference,
                double peak) {
  const auto counts = first.Steps.find("5 Res count");
  if (counts != first.Steps.end()) TableLine(o, "first run, step 5 Res count", Fixed(counts->second, " s"), "-", "-");
  for (const auto& [label, value] : second.Steps) TableLine(o, "second run, step " + label, Fixed(value, " s"), "-", "-");
  TableLine(o, "local steps 1,2,5-7 vs plain read-and-rewrite loop", Fixed(local, " s"), Fixed(reference, " s"),
            reference > 0 ? Fixed(local / reference, "") : "-");
  const auto next = second.Steps.find("6 Next threads");
  if (next != second.Steps.end())
    TableLine(o, "second run, next-thread step (" + std::to_string(o.Full) + " full) vs local steps 1,2,5-7",
              Fixed(next->second, " s"), Fixed(local, " s"), local > 0 ? Fixed(next->second / local, "") : "-");
  TableLine(o, "local steps per watched thread", Fixed(local * 1e6 / std::max(1, watched), " us"), "-", "-");
  TableLine(o, "second run, CPU time (user+system)", Fixed(second.Cpu, " s"), "-", "-");
  TableLine(o, "peak memory (larger run)", Fixed(peak, " MB"), "-", "-");
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--boards" && i + 1 < argc) o.Boards = std::atoi(argv[++i]);
    else if (a == "--lines" && i + 1 < argc) o.Lines = std::atoi(argv[++i]);
    else if (a == "--watched-per-board" && i + 1 < argc) o.WatchedPerBoard = std::atoi(argv[++i]);
    else if (a == "--full" && i + 1 < argc) o.Full = std::atoi(argv[++i]);
    else if (a == "--keep") o.Keep = true;
    else if (a == "--table" && i + 1 < argc) o.Table = argv[++i];
    else {
      std::fprintf(stderr,
                   "usage: bench_run [--boards N] [--lines N] [--watched-per-board N] [--full N] [--keep] "
                   "[--table NAME]\n");
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
  WriteBoards(w, o, false);
  {
    TBoardServer server(serverBin, w.Boards, w.Root);
    if (!server.Ready) {
      std::fprintf(stderr, "the board server did not start\n");
      return 1;
    }
    const std::string port = server.Ports["h"];
    w.HostPart = "127.0.0.1%3A" + port;
    w.HostUrl = "127.0.0.1:" + port;
    int watched = WriteHost(w, o);
    WriteBytes(w.Prog / "vek.ini", "[dorvella]\r\nDirectory=" + CoreDir(w.Host) +
                                       "\r\n[VEK]\r\nPrimarySuffixes=127.0.0.1\r\nNotifySound=0\r\n" +
                                       (o.Full > 0 ? "NextThreadReport=1\r\n" : ""));
    AgeFile(w.Prog / "vek.ini", 600);
    std::printf("%d watched threads on %d boards of %d lines (prepared in %.1f s, files in %s)\n\n", watched, o.Boards,
                o.Lines, Seconds(prepare), w.Root.c_str());

    TRun first = RunCheck(vek, w, (w.Root / "run1.log").string());
    PrintRun("First run", first);

    // Right after it, as if the three minutes had passed; a tenth of the
    // watched threads have new responses meanwhile.
    WriteBoards(w, o, true);
    AgeFile(w.Prog / "vek.ini", 200);
    THashes before = RunFiles(w);
    TRun second = RunCheck(vek, w, (w.Root / "run2.log").string());
    std::printf("\n");
    PrintRun("Second run", second);

    TContents changed = Changed(before, RunFiles(w));
    size_t filesRead = 0;
    double reference = Reference(w, changed, filesRead);
    double local = LocalSteps(second);
    double peak = std::max(first.PeakKb, second.PeakKb) / 1024.0;
    size_t indexes = 0, subjects = 0;
    for (const auto& entry : changed) (IsSubjectFile(entry.first) ? subjects : indexes) += 1;
    std::printf("\nReference: %zu file reads, %zu host browser files and %zu subject files rewritten: %.2f s\n",
                filesRead, indexes, subjects, reference);
    std::printf("Local steps (1, 2, 5, 6, 7) of the second run: %.2f s = %.2f x the reference\n", local,
                reference > 0 ? local / reference : 0.0);
    std::printf("Peak memory: %.1f MB\n", peak);
    if (second.Steps.count("6 Next threads"))
      std::printf("Next-thread step: %.2f s = %.1f %% of the local steps\n", second.Steps["6 Next threads"],
                  local > 0 ? 100.0 * second.Steps["6 Next threads"] / local : 0.0);
    PrintTable(o, watched, first, second, local, reference, peak);
  }
  if (!o.Keep) fs::remove_all(w.Root);
  return 0;
}
