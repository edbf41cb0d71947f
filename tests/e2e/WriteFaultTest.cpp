// Check runs whose writes fail: every write of a run made to fail in turn
// through the platform layer's switch (VEK_FAIL_WRITE), and a small file
// system that fills up at different points of a run of a few thousand
// threads. Either way the run ends with exit status 1 and a message naming
// the file, every file of the host browser and of the program is its old or
// its new self (never cut short, never gone), no temporary is left behind,
// and the next run with room to write completes.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "ScenarioSupport.h"

namespace vek::e2e {
namespace {

namespace fs = std::filesystem;

// A scratch world of watched threads on a few boards, before and after the
// boards move on: counts grow on every third thread, every fiftieth falls,
// and each board gains new threads.
struct TWorldShape {
  int Boards = 2;
  int ThreadsPerBoard = 6;
  int NewPerBoard = 3;
};

std::string Key(int board, int thread) { return std::to_string(1600000000 + board * 100000 + thread); }

std::string LastComponent(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

class WriteFaultWorld : public TScenario {
 protected:
  std::string Board(int b) const { return "b" + std::to_string(b); }
  std::string ThreadPath(int b, int t) const { return H1() + "\\" + Board(b) + "\\" + Key(b, t) + ".idx"; }

  void BuildWorld(const TWorldShape& shape) {
    Shape = shape;
    std::string favorite;
    for (int b = 0; b < shape.Boards; ++b)
      for (int t = 0; t < shape.ThreadsPerBoard; ++t) {
        TIndexRecord r;
        r.Title = "スレッド" + std::to_string(t) + " 板" + std::to_string(b);
        r.Host = H1Url();
        r.Board = Board(b);
        r.Key = Key(b, t);
        r.ServerCount = r.LocalCount = std::to_string(t % 10 == 5 ? 9 : 10 + t % 7);
        if (t % 10 == 5) r.NewMark = "";  // still unread: the mark stays when the count grows
        WriteIndex(ThreadPath(b, t), r);
        favorite += ThreadPath(b, t) + "\r\n";
      }
    // A thread on a host where nothing answers: failed.txt is written.
    TIndexRecord down;
    down.Title = "落ちているサーバ";
    down.Host = DeadHostUrl();
    down.Board = "down";
    down.Key = "1500000001";
    down.ServerCount = down.LocalCount = "4";
    WriteIndex(DeadHost() + "\\down\\1500000001.idx", down);
    WriteHostFile("favorite.idx", favorite + DeadHost() + "\\down\\1500000001.idx\r\n");
    WriteSettings();
    WaitPastGuard();
    ServeLists(false);
  }

  void ServeLists(bool later) {
    for (int b = 0; b < Shape.Boards; ++b) {
      std::string list;
      if (later)
        for (int n = Shape.NewPerBoard; n > 0; --n)
          list += Key(b, 90000 + n) + ".dat<>新しいスレ" + std::to_string(n) + " (1)\n";
      for (int t = 0; t < Shape.ThreadsPerBoard; ++t) {
        if (later && t % 50 == 1) continue;  // fell from the board
        // Threads 5, 15, 25... go from 9 to 14: one byte more in their index.
        const int count = t % 10 == 5 ? (later ? 14 : 9) : 10 + t % 7 + (later && t % 3 == 0 ? 5 : 0);
        list += Key(b, t) + ".dat<>スレッド" + std::to_string(t) + " 板" + std::to_string(b) + " (" +
                std::to_string(count) + ")\n";
      }
      Server.Put("/" + Board(b) + "/subject.txt", list);
    }
  }

  // The world after a first check (Before), and after the check that follows
  // once the boards have moved on (After); Before stays in Saved.
  void TakeBeforeAndAfter() {
    TProcessResult first = Vek("check");
    ASSERT_EQ(first.ExitCode, 0) << first.Output;
    ServeLists(true);
    // Without its window placement, the settings file gets keys written
    // back at the end of the next run.
    const std::string ini = test::ReadFile(ProgDir() + "vek.ini");
    const size_t window = ini.find("[Window]");
    ASSERT_NE(window, std::string::npos);
    test::WriteFile(ProgDir() + "vek.ini", ini.substr(0, window));
    if (BeforeSaving) BeforeSaving();
    fs::copy(Root.Path(), Saved.Path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    Before = Tree();
    Restore();
    TProcessResult second = Vek("check");
    ASSERT_EQ(second.ExitCode, 0) << second.Output;
    After = Tree();
    ASSERT_NE(After.at("host/$$$$$$$$.idx"), Before.at("host/$$$$$$$$.idx"));
    Restore();
  }

  // Every file of the host and program directories, bytes as they are.
  TTree Tree() const {
    TTree tree;
    for (const auto& entry : fs::recursive_directory_iterator(Root.Path())) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      tree[fs::relative(entry.path(), Root.Path()).generic_string()] = bytes.str();
    }
    tree.erase("ballast");
    return tree;
  }

  // The same file content, time stamps and the like aside (the report
  // boards carry the time of their run).
  bool Same(const std::string& a, const std::string& b) const {
    if (a == b) return true;
    const TMask mask{Root.Path(), Server.Port()};
    return mask.Apply(a) == mask.Apply(b);
  }

  void Restore() {
    fs::remove_all(HostDir());
    fs::remove_all(ProgDir());
    fs::copy(Saved.Path(), Root.Path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    WaitPastGuard();
  }

  // The invariants after a run that failed; what names the failure.
  void ExpectOldOrNew(const TProcessResult& run, const std::string& what) {
    ASSERT_EQ(run.ExitCode, 1) << what << "\n" << run.Output;
    const TTree now = Tree();
    for (const auto& [name, bytes] : now) {
      if (name.find("/.vek-") != std::string::npos) ADD_FAILURE() << what << ": temporary left behind: " << name;
      if (name == "prog/veklog.txt") continue;  // the log of this start, whatever became of it
      auto before = Before.find(name), after = After.find(name);
      const bool old = before != Before.end() && before->second == bytes;
      const bool whole = after != After.end() && Same(after->second, bytes);
      EXPECT_TRUE(old || whole) << what << ": " << name << " is neither its old nor its new self ("
                                << bytes.size() << " bytes)";
    }
    for (const auto& [name, bytes] : Before)
      if (name != "prog/veklog.txt") {
        EXPECT_TRUE(now.count(name)) << what << ": " << name << " is gone";
      }
  }

  // With room to write again, the next run completes and every watched
  // thread's index is what an undisturbed run makes of it.
  void ExpectNextRunCompletes(const std::string& what) {
    WaitPastGuard();
    TProcessResult again = Vek("check");
    ASSERT_EQ(again.ExitCode, 0) << what << ": the next run\n" << again.Output;
    const TTree now = Tree();
    for (const auto& [name, bytes] : After) {
      if (name.rfind("host/log/", 0) != 0 || name.find("/localhost/vek/1000000000.") != std::string::npos) continue;
      EXPECT_TRUE(now.count(name) && Same(now.at(name), bytes)) << what << ": " << name << " after the next run";
    }
  }

  // Index files as the host browser keeps them with further lines, each
  // made to fill its page to the last byte, so that the count that grows
  // there takes one page more (the threads going from 9 to 14).
  void FillPages(unsigned long pageSize) {
    for (int b = 0; b < Shape.Boards; ++b)
      for (int t = 5; t < Shape.ThreadsPerBoard; t += 10) {
        const std::string name = HostDir() + "log/" + H1() + "/" + Board(b) + "/" + Key(b, t) + ".idx";
        std::string bytes = test::ReadFile(name);
        ASSERT_LT(bytes.size() + 3, pageSize);
        bytes += std::string(pageSize - bytes.size() - 2, 'x') + "\r\n";
        test::WriteFile(name, bytes);
      }
  }

  std::function<void()> BeforeSaving;  // changes to the world after its first check
  TWorldShape Shape;
  test::TempDir Saved;
  TTree Before, After;
};

// ------------------------------------------------ injected write failures

class WriteFaults : public WriteFaultWorld {
 protected:
  // The writes of one undisturbed run from Before, as "kind" -> paths.
  std::map<std::string, std::vector<std::string>> CountWrites() {
    const std::string trace = Traces.Path() + "trace.txt";
    fs::remove(trace);
    setenv("VEK_WRITE_TRACE", (Program.Wine ? Program.DirArg(trace) : trace).c_str(), 1);
    TProcessResult run = Vek("check");
    unsetenv("VEK_WRITE_TRACE");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    std::map<std::string, std::vector<std::string>> writes;
    std::istringstream in(test::ReadFile(trace));
    for (std::string line; std::getline(in, line);) {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos) writes[line.substr(0, tab)].push_back(line.substr(tab + 1));
    }
    Restore();
    return writes;
  }

  TProcessResult RunFailing(const std::string& fault, const std::string& command = "check") {
    setenv("VEK_FAIL_WRITE", fault.c_str(), 1);
    TProcessResult run = Vek(command);
    unsetenv("VEK_FAIL_WRITE");
    return run;
  }

  test::TempDir Traces;
};

// Every write of each kind in a run fails in turn (natively; under Wine the
// first, a middle and the last of each kind, since each start costs a second
// there). A failed write that the run cannot do without ends it with exit
// status 1 and names its file; one it can do without (a list file that is
// already there, the lock on the settings file) leaves the run's result whole.
TEST_F(WriteFaults, EachWriteOfARunFailsInTurn) {
  if (IsSkipped()) return;
  BuildWorld(TWorldShape{});
  TakeBeforeAndAfter();
  if (HasFatalFailure()) return;
  const auto writes = CountWrites();
  for (const char* kind : {"replace", "ini", "mkdir", "touch", "stamp"}) {
    auto it = writes.find(kind);
    const size_t count = it == writes.end() ? 0 : it->second.size();
    std::cout << kind << ": " << count << " writes in a run\n";
    std::set<size_t> walk;
    for (size_t n = 1; n <= count; ++n)
      if (!Program.Wine || n == 1 || n == count || n == (count + 1) / 2) walk.insert(n);
    for (size_t n : walk) {
      const std::string fault = std::string(kind) + ":" + std::to_string(n) + (n % 2 ? "" : ":eio");
      const std::string file = LastComponent(it->second[n - 1]);
      const TProcessResult run = RunFailing(fault);
      const std::string what = fault + " (" + (file.empty() ? "a time stamp" : file) + ")";
      if (run.ExitCode == 0) {
        // Nothing lost: the run's files are what an undisturbed run writes.
        const TTree now = Tree();
        for (const auto& [name, bytes] : After)
          if (name != "prog/veklog.txt") {
            EXPECT_TRUE(now.count(name) && Same(now.at(name), bytes)) << what << ": " << name;
          }
      } else {
        ExpectOldOrNew(run, what);
        const bool atExit = run.Output.find("***** Done!! *****") != std::string::npos;
        if (!atExit) {
          EXPECT_NE(run.Output.find("ERROR: "), std::string::npos) << what << "\n" << run.Output;
        }
        // A time stamp, and the draft of the settings, are the settings file's.
        const std::string named = file.empty() || file == "vek.ini.new" ? "vek.ini" : file;
        EXPECT_NE(run.Output.find(named), std::string::npos) << what << ": the message does not name it\n" << run.Output;
        ExpectNextRunCompletes(what);
      }
      Restore();
    }
  }
  // The writes a check cannot do without fail it.
  EXPECT_FALSE(writes.at("replace").empty());
}

// The backup's moves fail in turn: a fallen thread's index and log stay
// together, both under log\ or both under backlog\.
TEST_F(WriteFaults, BackupKeepsEachThreadsFilesTogether) {
  if (IsSkipped()) return;
  const std::vector<std::string> keys = {"1000000001", "1000000002"};
  for (size_t n = 1; n <= 2 * keys.size(); ++n) {
    fs::remove_all(HostDir());
    std::string favorite;
    for (const std::string& key : keys) {
      TIndexRecord r;
      r.Flags = "48";
      r.Title = "落ちたスレ";
      r.Host = H1Url();
      r.Board = "news";
      r.Key = key;
      const std::string path = H1() + "\\news\\" + key + ".idx";
      WriteIndex(path, r);
      test::WriteFile(HostDir() + "log/" + H1() + "/news/" + key + ".dat", "1<><>2026/11/30<>本文<>スレ\n");
      favorite += path + "\r\n";
    }
    WriteHostFile("favorite.idx", favorite);
    WriteSettings();
    const TProcessResult run = RunFailing("move:" + std::to_string(n), "backup");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    for (const std::string& key : keys) {
      const std::string thread = H1() + "/news/" + key;
      const bool idxMoved = fs::exists(HostDir() + "backlog/" + thread + ".idx");
      const bool datMoved = fs::exists(HostDir() + "backlog/" + thread + ".dat");
      EXPECT_EQ(idxMoved, datMoved) << "move:" << n << ": " << key << " split";
      EXPECT_NE(idxMoved, fs::exists(HostDir() + "log/" + thread + ".idx")) << "move:" << n << ": " << key;
      EXPECT_NE(datMoved, fs::exists(HostDir() + "log/" + thread + ".dat")) << "move:" << n << ": " << key;
    }
  }
}

// ------------------------------------------------ a full disk

// The scratch root is a small tmpfs of its own, mounted in a mount namespace
// of this test program's own (what unshare -m does), as root; the space left
// is set by a ballast file. VEK_FULL_DISK_THREADS sets the number of watched
// threads (default 3,000; scripts/full-disk.sh runs a larger world).
class FullDisk : public WriteFaultWorld {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "the full-disk scenario mounts a tmpfs: run it as root";
    // Before the board server's threads start: a process that shares its
    // file-system state with threads cannot leave its mount namespace.
    static int entered = EnterOwnMountNamespace();
    if (entered != 0) GTEST_SKIP() << "no mount namespace of its own: " << std::strerror(entered);
    WriteFaultWorld::SetUp();
    if (IsSkipped()) return;
    // Room for the world and a little more: the ballast that fills the rest
    // is written again for every run.
    const std::string options = "size=" + std::to_string(16 + Threads() * 12 / 1024) + "m,mode=0755";
    if (::mount("vek-full-disk", Root.Path().c_str(), "tmpfs", 0, options.c_str()) != 0)
      GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    Mounted = true;
    fs::create_directories(HostDir() + "log");
    fs::create_directories(ProgDir());
  }
  void TearDown() override {
    if (Mounted) ::umount2(Root.Path().c_str(), MNT_DETACH);
  }

  static int EnterOwnMountNamespace() {
    if (::unshare(CLONE_NEWNS) != 0) return errno;
    // Nothing mounted here reaches the rest of the system.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return errno;
    return 0;
  }

  static int Threads() {
    const char* scale = std::getenv("VEK_FULL_DISK_THREADS");
    return scale ? std::max(100, std::atoi(scale)) : 3000;
  }

  static unsigned long PageSize() { return static_cast<unsigned long>(::sysconf(_SC_PAGESIZE)); }

  unsigned long FreePages() const {
    struct statvfs st {};
    ::statvfs(Root.Path().c_str(), &st);
    return st.f_bavail * st.f_frsize / PageSize();
  }

  // Fills the file system up to pages free pages.
  void LeaveFree(unsigned long pages) {
    const std::string ballast = Root.Path() + "ballast";
    fs::remove(ballast);
    const unsigned long free = FreePages();
    ASSERT_GE(free, pages);
    const int fd = ::open(ballast.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const int error = ::posix_fallocate(fd, 0, static_cast<off_t>((free - pages) * PageSize()));
    ::close(fd);
    ASSERT_EQ(error, 0) << std::strerror(error);
    ASSERT_EQ(FreePages(), pages);
  }

  // The step a failed run was in: its last "VEK [n/7]" caption's log line.
  static std::string StepOf(const std::string& output) {
    static const std::vector<std::pair<std::string, std::string>> steps = {
        {"Get subject.txt: start", "3 downloads"}, {"Regenerate Dat List", "4 regeneration"},
        {"Set Res Count", "5 counts"},             {"Write Dead Threads Data", "6 dead report"},
        {"Write New Threads Data", "7 new report"}, {"***** Done!! *****", "end"}};
    std::string step = "1-2 lists";
    size_t at = 0;
    for (const auto& [line, name] : steps) {
      const size_t found = output.rfind(line);
      if (found != std::string::npos && found >= at) {
        at = found;
        step = name;
      }
    }
    return step;
  }

  // One run with this much room: true when it failed, having checked what
  // it left and that the next run with room completes.
  bool Probe(unsigned long pages) {
    LeaveFree(pages);
    if (HasFatalFailure()) return false;
    const TProcessResult run = Vek("check");
    const std::string what = std::to_string(pages) + " pages free";
    if (run.ExitCode == 0) {
      std::cout << what << ": the run fits\n";
      Restore();
      return false;
    }
    const std::string step = StepOf(run.Output);
    ++StepsHit[step];
    std::cout << what << ": full in step " << step << "\n";
    ExpectOldOrNew(run, what);
    // The settings that cannot be saved at the end are named in a message
    // of their own.
    const bool named = run.Output.find("No space left on device") != std::string::npos ||
                       run.Output.find("/prog/vek.ini ") != std::string::npos;
    EXPECT_TRUE(named) << what << "\n" << run.Output;
    fs::remove(Root.Path() + "ballast");
    ExpectNextRunCompletes(what);
    Restore();
    return true;
  }

  bool Mounted = false;
  std::map<std::string, int> StepsHit;
};

// The disk fills at every point of a run, one page of room more each time,
// until the run fits; each failed run leaves every file old or new, and the
// next one with room completes.
TEST_F(FullDisk, RunsThatFillTheDiskLeaveEveryFileWhole) {
  const int threads = Threads();
  const int boards = 6;
  BuildWorld(TWorldShape{boards, threads / boards, threads / boards / 10});
  BeforeSaving = [this] { FillPages(PageSize()); };
  TakeBeforeAndAfter();
  if (HasFatalFailure()) return;
  // 0, 1, 2, 4, 8... pages of room until a run fits, then halving the gap
  // down to the least room a run fits in, and one page less: the downloads
  // need a board list's worth, the counts a page for each index that grows,
  // the reports, snapshots, settings and log theirs.
  ASSERT_TRUE(Probe(0)) << "a run fits on a full disk";
  unsigned long fails = 0, fits = 1;
  while (!HasFailure() && Probe(fits)) {
    fails = fits;
    fits *= 2;
    ASSERT_LE(fits, 65536u) << "no run fits";
  }
  while (!HasFailure() && fits - fails > 1) {
    const unsigned long middle = fails + (fits - fails) / 2;
    (Probe(middle) ? fails : fits) = middle;
  }
  std::cout << "a run of " << threads << " threads on " << boards << " boards fits in " << fits
            << " free pages; full at:";
  for (const auto& [step, n] : StepsHit) std::cout << " " << step << " (" << n << ")";
  std::cout << "\n";
  // The count update holds up to 64 new index files at once before their
  // renames, so it is the run's peak: a disk that lets it through lets the
  // reports through as well. Failing writes of the later steps are the
  // injected failures' part.
  EXPECT_GE(StepsHit.size(), 2u) << "the disk should have filled in several steps";
}

}  // namespace
}  // namespace vek::e2e
