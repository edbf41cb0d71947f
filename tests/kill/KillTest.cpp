// The kill test: `vek check` on a large scenario, killed with SIGKILL at
// moments spread over every part of the run, each time from the same state.
// After each kill every file the command writes must be its old bytes or its
// complete new bytes (those of an uninterrupted run), and the next run must
// complete, leave no temporary file and produce what the uninterrupted run
// produced, except for what a killed run may legitimately have changed:
//
//  - the new-thread report: when the killed run had already appended its
//    response, the next run appends one more, listing again the boards whose
//    snapshot the killed run had not yet replaced (a subsequence of the first
//    response's board blocks, byte for byte); the report's index then counts
//    the one line more;
//  - time stamps in the report boards and the log, and the log's elapsed
//    figures (masked).
//
// Index files, the new-arrival list, the dead-thread report, the subject cache
// and snapshots, failed.txt and the settings must equal the uninterrupted
// run's. Linux only (SIGKILL, a pipe per run).
//
// It is also the test that guards the sweep of thread folders (what a killed
// run left there must be gone after the next): no faster test notices when
// that sweep is switched off.
//
// With --mark-fallen every run gives fallen threads their mark, at its very
// end; a run killed after it wrote its new-arrival list may have marked some,
// and the next run then reports only the others: its dead-thread report lists
// a part of the threads (or is not rewritten when none is left), its
// new-arrival list may lack that report, and its log differs.
//
//   test_kill [--points N] [--boards N] [--watched N] [--lines N] [--delay MS] [--mark-fallen] [--vek PATH] [--keep]
#include <poll.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "BenchProcess.h"
#include "platform/Files.h"

using namespace vek::bench;

namespace {

struct TOptions {
  int Points = 60;
  int Boards = 40;      // on two hosts, plus one board on a third host that fails
  int Watched = 75;     // watched threads per board
  int Lines = 300;      // threads per board on the server
  int DelayMs = 20;     // the server's pause before each board list
  bool MarkFallen = false;
  bool Keep = false;
  std::string Vek = VEK_COMMAND;  // --vek: another build of the command
};

using TTree = std::map<std::string, std::string>;  // path under the work folder -> bytes

// ------------------------------------------------------------- the scenario

long long KeyOf(int board, int line) { return 1700000000LL + board * 1000LL + line; }
std::string BoardName(int board) { return "b" + std::to_string(100 + board); }
std::string HostOf(int board) { return board % 2 ? "h2" : "h1"; }

struct TWorld {
  TOptions O;
  fs::path Root, Boards, Work;
  std::map<std::string, std::string> Ports;
  fs::path Host() const { return Work / "host"; }
  fs::path Prog() const { return Work / "prog"; }
  std::string HostPart(const std::string& h) const { return "127.0.0.1%3A" + Ports.at(h); }
};

// A watched thread is every few lines; the first of a board has always been
// gone from it, the second falls between the earlier check and this one.
int WatchStep(const TOptions& o) { return std::max(1, (o.Lines - 30) / o.Watched); }
bool AlwaysGone(int n) { return n == 0; }
bool FallsNow(int n) { return n == 1; }

// Later: 30 new threads on every board, the fallen ones gone, every fourth
// watched thread with new responses.
void WriteBoardLists(const TWorld& w, bool later) {
  const int step = WatchStep(w.O);
  for (int b = 0; b < w.O.Boards; ++b) {
    std::string body;
    for (int i = (later ? w.O.Lines : w.O.Lines - 30) - 1; i >= 0; --i) {
      const bool watched = i % step == 0 && i / step < w.O.Watched;
      const int n = i / step;
      if (watched && (AlwaysGone(n) || (later && FallsNow(n)))) continue;
      const int count = 10 + (i * 7 + b) % 500 + (later && watched && n % 4 == 2 ? 3 : 0);
      body += std::to_string(KeyOf(b, i)) + ".dat<>試験用のスレッド 板" + std::to_string(b) + " その" +
              std::to_string(i) + " (" + std::to_string(count) + ")\n";
    }
    const fs::path dir = w.Boards / HostOf(b) / BoardName(b);
    WriteBytes(dir / "subject.txt", body);
    WriteBytes(dir / "board.conf", "delay " + std::to_string(w.O.DelayMs) + "\n");
  }
  // A host whose one board answers the earlier check and is gone later.
  if (later) fs::remove(w.Boards / "h3" / "gone" / "subject.txt");
  else WriteBytes(w.Boards / "h3" / "gone" / "subject.txt", "1600000000.dat<>消える板 (5)\n");
}

std::string IndexRecord(const std::string& title, const std::string& hostUrl, const std::string& board,
                        const std::string& key, int local) {
  return "1\t0\t0\t" + title + "\t" + hostUrl + "\t" + board + "\t" + key + "\t" + std::to_string(local) + "\t" +
         std::to_string(local) + "\t-1\t2026/12/01 20:00:00\t\t\t0\t\t\t0\t\t\t\t\r\n";
}

void WriteHost(const TWorld& w) {
  std::string lists[2];
  const int step = WatchStep(w.O);
  auto watch = [&](const std::string& host, const std::string& board, long long key, int line, int local) {
    const std::string rel = w.HostPart(host) + "\\" + board + "\\" + std::to_string(key) + ".idx";
    WriteBytes(w.Host() / "log" / w.HostPart(host) / board / (std::to_string(key) + ".idx"),
               IndexRecord("試験用のスレッド その" + std::to_string(line), "127.0.0.1:" + w.Ports.at(host), board,
                           std::to_string(key), local));
    lists[key % 2] += rel + "\r\n";
  };
  for (int b = 0; b < w.O.Boards; ++b)
    for (int i = 0; i < w.O.Watched * step; i += step)
      watch(HostOf(b), BoardName(b), KeyOf(b, i), i, 10 + (i * 7 + b) % 500);
  watch("h3", "gone", 1600000000LL, 0, 5);
  WriteBytes(w.Host() / "favorite.idx", lists[0]);
  WriteBytes(w.Host() / "work.idx", lists[1]);
  WriteBytes(w.Prog() / "vek.ini", "[dorvella]\r\nDirectory=" + CoreDir(w.Host()) +
                                       "\r\n[VEK]\r\nPrimarySuffixes=127.0.0.1\r\nNotifySound=0\r\n");
}

// ------------------------------------------------------------- trees

bool IsTemporary(const std::string& path) {
  return vek::platform::TemporaryFileOwner(fs::path(path).filename().string()) != 0;
}

TTree ReadTree(const fs::path& dir) {
  TTree tree;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) tree[fs::relative(e.path(), dir).string()] = ReadBytes(e.path());
  return tree;
}

void WriteTree(const fs::path& dir, const TTree& tree) {
  fs::remove_all(dir);
  for (const auto& [path, bytes] : tree) WriteBytes(dir / path, bytes);
}

bool IsReport(const std::string& path) { return path.find("localhost/vek/") != std::string::npos; }
bool IsLog(const std::string& path) { return path == "prog/veklog.txt"; }

// Time stamps in the report boards; in the log also the clock times and
// elapsed figures.
std::string Masked(const std::string& path, const std::string& bytes) {
  static const std::regex stamp(R"([0-9]{4}/[0-9]{2}/[0-9]{2}( [0-9]{1,2}:[0-9]{2}:[0-9]{2})?)");
  static const std::regex elapsed(R"((done|failed)\([0-9.,]+s?\))");
  if (IsLog(path)) return std::regex_replace(std::regex_replace(bytes, stamp, "T"), elapsed, "$1(E)");
  return IsReport(path) ? std::regex_replace(bytes, stamp, "T") : bytes;
}

// ------------------------------------------------------------- runs

// The parts of a run as its log shows them: each begins with the line that
// has the prefix (the command writes a line out when the next one begins).
const std::vector<std::pair<std::string, std::string>> Phases = {
    {"start-up, configuration", ""},
    {"1 Dat list", "Generate Dat List: start"},
    {"2 Subject list", "Generate Subject List"},
    {"3 downloads", "Get subject.txt: start"},
    {"4 regeneration", "Regenerate Dat List"},
    {"5 counts", "Set Res Count"},
    {"6 dead threads", "Write Dead Threads Data"},
    {"7 new threads, new-arrival list", "Write New Threads Data"},
    {"end: stamp, settings, log", "***** Done!! *****"},
};

struct TRun {
  int ExitCode = -1;
  bool Killed = false;
  std::vector<std::string> Lines;  // as they arrived
  std::vector<double> Arrivals;    // seconds from the start, one per line
  double End = 0;
};

// Runs the command; with triggerLines >= 0, kills it delay seconds after that
// many lines arrived (after the start when 0): line n arrives when line n + 1
// begins, so that is the moment line triggerLines began.
TRun RunVek(const std::string& vek, const TWorld& w, int triggerLines = -1, double delay = 0) {
  TRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    int err = open((w.Root / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, 2);
    close(fds[0]);
    execl(vek.c_str(), vek.c_str(), "check", "--dir", w.Prog().c_str(), w.O.MarkFallen ? "--mark-fallen" : nullptr,
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string pending;
  char buf[65536];
  for (;;) {
    const int got = static_cast<int>(run.Lines.size());
    double wait = 1.0;
    if (!run.Killed && triggerLines >= 0 && got >= triggerLines) {
      wait = (triggerLines == 0 ? 0.0 : run.Arrivals[triggerLines - 1]) + delay - Seconds(start);
      if (wait <= 0) {
        // What is still in the pipe was written before the kill: read on.
        kill(pid, SIGKILL);
        run.Killed = true;
        wait = 1.0;
      }
    }
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(wait * 1000) + 1) <= 0) continue;
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    pending.append(buf, static_cast<size_t>(n));
    for (size_t eol; (eol = pending.find('\n')) != std::string::npos; pending.erase(0, eol + 1)) {
      run.Lines.push_back(pending.substr(0, eol));
      run.Arrivals.push_back(Seconds(start));
    }
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.End = Seconds(start);
  if (WIFEXITED(status)) {
    run.ExitCode = WEXITSTATUS(status);
    run.Killed = false;  // it had ended before the kill landed
  }
  return run;
}

// Where each part of the run begins in the uninterrupted run: its first
// line's number and the time that line began.
struct TSchedule {
  std::vector<int> FirstLine;
  std::vector<double> Start;  // one more: the end
  int PhaseOfLine(int line) const {
    int phase = 0;
    for (size_t p = 0; p < FirstLine.size(); ++p)
      if (FirstLine[p] >= 0 && FirstLine[p] <= line) phase = static_cast<int>(p);
    return phase;
  }
};

TSchedule ScheduleOf(const TRun& run) {
  TSchedule s;
  for (const auto& [name, prefix] : Phases) {
    int first = prefix.empty() ? 0 : -1;
    for (size_t i = 0; first < 0 && i < run.Lines.size(); ++i)
      if (run.Lines[i].rfind(prefix, 0) == 0) first = static_cast<int>(i);
    s.FirstLine.push_back(first);
    s.Start.push_back(first <= 0 ? 0.0 : run.Arrivals[first - 1]);
  }
  s.Start.push_back(run.End);
  return s;
}

// ------------------------------------------------------------- checks

const std::string NewReportDat = "host/log/localhost/vek/1000000000.dat";
const std::string NewReportIdx = "host/log/localhost/vek/1000000000.idx";

struct TCheck {
  std::vector<std::string> Failures;
  int Temporaries = 0;
  bool ExtraResponse = false;
  bool PartlyMarked = false;  // see IsPartlyMarkedOutcome
  void Fail(const std::string& text) {
    if (Failures.size() < 20) Failures.push_back(text);
  }
};

const std::string* Find(const TTree& tree, const std::string& path) {
  auto it = tree.find(path);
  return it == tree.end() ? nullptr : &it->second;
}

bool SameMasked(const TTree& a, const TTree& b, const std::string& path) {
  const std::string *x = Find(a, path), *y = Find(b, path);
  if (!x || !y) return x == y;
  return Masked(path, *x) == Masked(path, *y);
}

std::vector<std::string> Paths(std::initializer_list<const TTree*> trees) {
  std::set<std::string> all;
  for (const TTree* t : trees)
    for (const auto& entry : *t) all.insert(entry.first);
  return {all.begin(), all.end()};
}

// Right after the kill: every file old (as before the run) or new (as the
// uninterrupted run left it), whole.
void CheckKilled(const TTree& killed, const TTree& before, const TTree& after, TCheck& check) {
  for (const std::string& path : Paths({&killed, &before, &after})) {
    if (IsTemporary(path)) {
      ++check.Temporaries;
      continue;
    }
    if (!SameMasked(killed, before, path) && !SameMasked(killed, after, path))
      check.Fail(path + ": neither its old nor its new content after the kill");
  }
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0, eol; (eol = text.find("\r\n", pos)) != std::string::npos; pos = eol + 2)
    lines.push_back(text.substr(pos, eol - pos));
  return lines;
}

// The board blocks of a response: each from its heading to the next.
std::vector<std::string> BoardBlocks(const std::string& response) {
  static const std::string heading = "<font color=\"8B2222\"><b>----------";
  std::vector<std::string> blocks;
  for (size_t pos = response.find(heading); pos != std::string::npos;) {
    size_t next = response.find(heading, pos + 1);
    blocks.push_back(response.substr(pos, (next == std::string::npos ? response.size() - 1 : next) - pos));
    pos = next;
  }
  return blocks;
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  size_t i = 0;
  for (const std::string& block : whole)
    if (i < part.size() && part[i] == block) ++i;
  return i == part.size();
}

// The new-thread report after the next run: the uninterrupted run's, or that
// with one more response when the killed run had published its own.
void CheckNewReport(const TTree& final, const TTree& killed, const TTree& after, TCheck& check) {
  const std::vector<std::string> got = SplitLines(Masked(NewReportDat, final.at(NewReportDat)));
  const std::vector<std::string> want = SplitLines(Masked(NewReportDat, after.at(NewReportDat)));
  const bool published = SameMasked(killed, after, NewReportDat);
  if (got.size() == want.size() + 1 && published && std::equal(want.begin(), want.end(), got.begin())) {
    check.ExtraResponse = true;
    const std::string& extra = got.back();
    if (extra.rfind("<b>VEK</b>,,T,", 0) != 0 || extra.back() != ',' ||
        !IsSubsequence(BoardBlocks(extra), BoardBlocks(want.back())))
      check.Fail(NewReportDat + ": the extra response is not a part of the first one");
  } else if (got != want) {
    check.Fail(NewReportDat + ": differs from the uninterrupted run's");
  }
  // The index: the uninterrupted run's, counting the lines there are.
  std::string idx = after.at(NewReportIdx);
  const std::string lines = std::to_string(want.size()), now = std::to_string(got.size());
  const size_t counts = idx.find("\t" + lines + "\t" + lines + "\t");
  if (counts != std::string::npos) idx.replace(counts, lines.size() * 2 + 3, "\t" + now + "\t" + now + "\t");
  if (counts == std::string::npos || Masked(NewReportIdx, final.at(NewReportIdx)) != Masked(NewReportIdx, idx))
    check.Fail(NewReportIdx + ": does not count the report's " + now + " lines");
}

const std::string DeadReportDat = "host/log/localhost/vek/1030000000.dat";
const std::string Arrivals = "host/$$$$$$$$.idx";

// The threads a dead-thread report lists (its second line, masked).
std::set<std::string> DeadEntries(const std::string& path, const TTree& tree) {
  std::set<std::string> entries;
  const std::string* bytes = Find(tree, path);
  if (!bytes || bytes->find("\r\n") == std::string::npos) return entries;
  std::string line = Masked(path, bytes->substr(bytes->find("\r\n") + 2));
  for (size_t pos = line.find(",,T,") + 4, next; pos < line.size(); pos = next + 8) {
    next = std::min(line.find("<BR><BR>", pos), line.size() - 1);
    entries.insert(line.substr(pos, next - pos));
  }
  return entries;
}

// With the fallen mark: the next run after a kill past the new-arrival list
// reports only the threads the killed run had not marked yet.
bool IsPartlyMarkedOutcome(const std::string& path, const TTree& final, const TTree& after) {
  // The log then shows other board counts and no dead-thread report.
  if (IsLog(path)) return Find(final, path) && final.at(path).find("***** Done!! *****") != std::string::npos;
  if (path == DeadReportDat) {
    const std::set<std::string> got = DeadEntries(path, final), all = DeadEntries(path, after);
    return !got.empty() && std::includes(all.begin(), all.end(), got.begin(), got.end());
  }
  const std::string* got = Find(final, path);
  std::string want = after.at(Arrivals);
  const std::string deadLine = "localhost\\vek\\1030000000.idx\r\n";
  return path == Arrivals && got && want.find(deadLine) != std::string::npos &&
         *got == want.erase(want.find(deadLine), deadLine.size());
}

// After the next run: no temporary file, everything as the uninterrupted
// run left it but for the new-thread report's legitimate extra response and,
// with the fallen mark, what the killed run had marked.
void CheckNextRun(const TTree& final, const TTree& killed, const TTree& after, bool markFallen, TCheck& check) {
  const bool marking = markFallen && Find(killed, Arrivals) && SameMasked(killed, after, Arrivals);
  for (const std::string& path : Paths({&final, &after})) {
    if (IsTemporary(path)) {
      check.Fail(path + ": a temporary file is left after the next run");
    } else if (path != NewReportDat && path != NewReportIdx && !SameMasked(final, after, path)) {
      if (marking && IsPartlyMarkedOutcome(path, final, after)) check.PartlyMarked = true;
      else check.Fail(path + ": differs from the uninterrupted run's");
    }
  }
  if (Find(final, NewReportDat) && Find(final, NewReportIdx)) CheckNewReport(final, killed, after, check);
  else check.Fail("the new-thread report is missing");
}

// ------------------------------------------------------------- kill points

struct TPoint {
  int Phase;
  double Delay;  // seconds after the phase began
};

// Every part of the run gets at least one point (when there are enough), the
// rest go by the parts' lengths; within a part they are evenly spread.
std::vector<TPoint> PlanPoints(const TSchedule& s, int count) {
  const size_t n = Phases.size();
  std::vector<double> length(n);
  double total = 0;
  for (size_t p = 0; p < n; ++p) total += length[p] = std::max(0.0, s.Start[p + 1] - s.Start[p]);
  const int base = count >= static_cast<int>(n) ? 1 : 0;
  std::vector<int> share(n, base);
  int left = count - base * static_cast<int>(n);
  std::vector<std::pair<double, size_t>> remainders;
  for (size_t p = 0; p < n; ++p) {
    double exact = total > 0 ? left * length[p] / total : 0;
    share[p] += static_cast<int>(exact);
    remainders.push_back({exact - static_cast<int>(exact), p});
  }
  for (int p : share) left -= p - base;
  std::sort(remainders.rbegin(), remainders.rend());
  for (int i = 0; i < left; ++i) ++share[remainders[i % n].second];
  std::vector<TPoint> points;
  for (size_t p = 0; p < n; ++p)
    for (int j = 0; j < share[p]; ++j) points.push_back({static_cast<int>(p), length[p] * (j + 0.5) / share[p]});
  return points;
}

bool HasEntries(const TTree& tree, const std::string& path, const std::string& mark) {
  const std::string* bytes = Find(tree, path);
  return bytes && bytes->find(mark) != std::string::npos;
}

// ------------------------------------------------------------- the program

// The board server stops once its ports file is gone: so it does when this
// program is interrupted (ctest's time-out, Ctrl-C).
char PortsFile[512];
void OnSignal(int signal) {
  unlink(PortsFile);
  _exit(128 + signal);
}

bool ParseOptions(int argc, char** argv, TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    int* target = a == "--points" ? &o.Points : a == "--boards" ? &o.Boards : a == "--watched" ? &o.Watched
                : a == "--lines" ? &o.Lines : a == "--delay" ? &o.DelayMs : nullptr;
    if (target && i + 1 < argc) *target = std::atoi(argv[++i]);
    else if (a == "--keep") o.Keep = true;
    else if (a == "--mark-fallen") o.MarkFallen = true;
    else if (a == "--vek" && i + 1 < argc) o.Vek = argv[++i];
    else return false;
  }
  return o.Points > 0 && o.Boards > 0 && o.Watched > 2 && o.Lines >= o.Watched + 30;
}

// A check from the given state, as if the user had waited past the pause.
TRun CheckFrom(const std::string& vek, const TWorld& w, const TTree* state, int triggerLines = -1, double delay = 0) {
  if (state) WriteTree(w.Work, *state);
  AgeFile(w.Prog() / "vek.ini", 600);
  return RunVek(vek, w, triggerLines, delay);
}

// The state before the check under test: an earlier check has run; since
// then new threads came, some fell and some have new responses.
bool Prepare(const std::string& vek, TWorld& w, const std::string& serverBin, TTree& before,
             std::unique_ptr<TBoardServer>& server) {
  WriteBoardLists(w, false);
  server = std::make_unique<TBoardServer>(serverBin, w.Boards, w.Root);
  if (!server->Ready) return false;
  w.Ports = server->Ports;
  WriteHost(w);
  if (CheckFrom(vek, w, nullptr).ExitCode != 0) return false;
  WriteBoardLists(w, true);
  before = ReadTree(w.Work);
  return true;
}

void PrintSchedule(const TSchedule& s, const std::vector<TPoint>& points, const std::vector<int>& landed) {
  std::printf("%-34s %9s %7s %7s\n", "part of the run", "ref. ms", "aimed", "landed");
  for (size_t p = 0; p < Phases.size(); ++p) {
    int aimed = 0;
    for (const TPoint& point : points) aimed += point.Phase == static_cast<int>(p);
    std::printf("%-34s %9.0f %7d %7d\n", Phases[p].first.c_str(), (s.Start[p + 1] - s.Start[p]) * 1000, aimed,
                landed[p]);
  }
  std::printf("%-34s %9s %7s %7d\n", "(ended before the kill)", "", "", landed.back());
}

}  // namespace

int main(int argc, char** argv) {
  TWorld w;
  if (!ParseOptions(argc, argv, w.O)) {
    std::fprintf(stderr, "usage: test_kill [--points N] [--boards N] [--watched N] [--lines N] [--delay MS] [--mark-fallen] [--vek PATH] [--keep]\n");
    return 64;
  }
  const std::string vek = w.O.Vek, serverBin = VEK_BOARD_SERVER;
  char tmpl[] = "/tmp/vek-kill-XXXXXX";
  w.Root = mkdtemp(tmpl);
  w.Boards = w.Root / "boards";
  w.Work = w.Root / "work";
  std::snprintf(PortsFile, sizeof PortsFile, "%s", (w.Root / "ports.txt").c_str());
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  const auto started = Clock::now();
  TTree before;
  std::unique_ptr<TBoardServer> server;
  if (!Prepare(vek, w, serverBin, before, server)) {
    std::fprintf(stderr, "the earlier check could not be prepared (files in %s)\n", w.Root.c_str());
    return 1;
  }
  const TRun reference = CheckFrom(vek, w, &before);
  const TTree after = ReadTree(w.Work);
  const int threads = w.O.Boards * w.O.Watched + 1;
  if (reference.ExitCode != 0 || !HasEntries(after, DeadReportDat, "<BR>") ||
      BoardBlocks(SplitLines(after.at(NewReportDat)).back()).empty()) {
    std::fprintf(stderr, "the uninterrupted run failed or left a report board empty (files in %s)\n", w.Root.c_str());
    return 1;
  }
  const TSchedule schedule = ScheduleOf(reference);
  const std::vector<TPoint> points = PlanPoints(schedule, w.O.Points);
  std::printf("%d watched threads on %d boards of %d threads (3 hosts, one failing); uninterrupted run %.2f s\n",
              threads, w.O.Boards + 1, w.O.Lines, reference.End);

  std::vector<int> landed(Phases.size() + 1, 0);
  int failedPoints = 0, temporaries = 0, extra = 0, partly = 0;
  for (size_t k = 0; k < points.size(); ++k) {
    const TPoint& point = points[k];
    const TRun killed = CheckFrom(vek, w, &before, schedule.FirstLine[point.Phase], point.Delay);
    const int where = killed.Killed ? schedule.PhaseOfLine(static_cast<int>(killed.Lines.size())) : -1;
    ++landed[where < 0 ? Phases.size() : where];
    TCheck check;
    const TTree killedTree = ReadTree(w.Work);
    CheckKilled(killedTree, before, after, check);
    const TRun next = CheckFrom(vek, w, nullptr);
    if (next.ExitCode != 0) check.Fail("the next run ended with exit status " + std::to_string(next.ExitCode));
    CheckNextRun(ReadTree(w.Work), killedTree, after, w.O.MarkFallen, check);
    temporaries += check.Temporaries;
    extra += check.ExtraResponse;
    partly += check.PartlyMarked;
    std::printf("kill %2zu: aimed at %-34s +%5.0f ms, landed in %-34s %d temporary file(s)%s%s: %s\n", k + 1,
                Phases[point.Phase].first.c_str(), point.Delay * 1000,
                where < 0 ? "(ended before)" : Phases[where].first.c_str(), check.Temporaries,
                check.ExtraResponse ? ", extra response" : "", check.PartlyMarked ? ", partly marked" : "",
                check.Failures.empty() ? "ok" : "FAILED");
    for (const std::string& f : check.Failures) std::printf("    %s\n", f.c_str());
    failedPoints += !check.Failures.empty();
    std::fflush(stdout);
  }
  std::printf("\n");
  PrintSchedule(schedule, points, landed);
  std::printf("\n%zu kills, %d failed; %d temporary files left by the kills, all removed by the next run%s; "
              "%d next runs appended a second response to the new-thread report%s; %.0f s in all\n",
              points.size(), failedPoints, temporaries, failedPoints ? " (unless reported above)" : "", extra,
              w.O.MarkFallen ? (", " + std::to_string(partly) + " found fallen threads already marked").c_str() : "",
              Seconds(started));
  server.reset();
  if (!w.O.Keep && failedPoints == 0) fs::remove_all(w.Root);
  else std::printf("files in %s\n", w.Root.c_str());
  return failedPoints == 0 ? 0 : 1;
}
