// Checks with ConditionalGet on against a server that answers conditional
// requests: unchanged boards come back "not modified" and leave the host
// browser's files exactly as a check with the setting off does; a changed
// board is downloaded whole; a cache removed by hand makes its board's next
// request unconditional; with the setting off no request is conditional.
#include <filesystem>
#include <sstream>

#include "ScenarioSupport.h"

namespace fs = std::filesystem;

namespace vek::e2e {
namespace {

class ConditionalGetScenario : public TScenario {
 protected:
  void SetUp() override {
    TScenario::SetUp();
    if (IsSkipped()) return;
    Server.SetConditional(true);
    for (const char* board : {"news", "live"}) {
      for (int i = 1; i <= 3; ++i) {
        TIndexRecord r;
        r.Title = std::string(board) + "のスレ" + std::to_string(i);
        r.Host = H1Url();
        r.Board = board;
        r.Key = Key(board, i);
        r.ServerCount = r.LocalCount = "5";
        WriteIndex(Thread(board, i), r);
        Favorites += Thread(board, i) + "\r\n";
      }
    }
    WriteHostFile("favorite.idx", Favorites);
    Serve("news", {1, 2, 3}, 6);
    Serve("live", {1, 2, 3}, 5);
  }

  static std::string Key(const std::string& board, int i) {
    return (board == "news" ? "100000000" : "200000000") + std::to_string(i);
  }
  std::string Thread(const std::string& board, int i) const {
    return H1() + "\\" + board + "\\" + Key(board, i) + ".idx";
  }
  std::string Cache(const std::string& board) const {
    return ProgDir() + "subject/127.0.0.1%3A" + std::to_string(Server.Port()) + "%2F" + board;
  }

  void Serve(const std::string& board, const std::vector<int>& threads, int count) {
    std::string list;
    for (int i : threads)
      list += Key(board, i) + ".dat<>" + board + "のスレ" + std::to_string(i) + " (" + std::to_string(count) + ")\n";
    Server.Put("/" + board + "/subject.txt", list);
  }

  // A check with the setting on or off; the output, and the requests' conditions.
  TProcessResult Check(bool conditional, std::vector<std::string>& conditions) {
    WriteSettings(conditional ? "ConditionalGet=1\r\n" : "");
    WaitPastGuard();
    const size_t seen = Server.Conditions().size();
    TProcessResult r = Vek("check");
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    const std::vector<std::string> all = Server.Conditions();
    conditions.assign(all.begin() + static_cast<long>(seen), all.end());
    return r;
  }

  void Save(const std::string& to) {
    fs::remove_all(Root.Path() + to);
    fs::create_directories(Root.Path() + to);
    for (const char* dir : {"host", "prog"})
      fs::copy(Root.Path() + dir, Root.Path() + to + "/" + dir, fs::copy_options::recursive);
  }
  void Restore(const std::string& from) {
    for (const char* dir : {"host", "prog"}) {
      fs::remove_all(Root.Path() + dir);
      fs::copy(Root.Path() + from + "/" + dir, Root.Path() + dir, fs::copy_options::recursive);
    }
  }

  // From the saved state: the host browser's files after a check with the
  // setting off, then (from the same state) after one with it on; both must
  // be the same. The output and conditions are the second check's.
  TProcessResult SameAsWithoutIt(const std::string& saved, std::vector<std::string>& conditions) {
    Save(saved);
    std::vector<std::string> off;
    Check(false, off);
    for (const std::string& c : off) EXPECT_EQ(c.find(" If-"), std::string::npos) << c;
    TMask hostMask = Mask;
    const TTree without = SnapshotTree(HostDir(), hostMask);
    Restore(saved);
    TProcessResult r = Check(true, conditions);
    std::string report;
    for (const auto& d : CompareTrees(without, SnapshotTree(HostDir(), hostMask))) report += d + "\n";
    EXPECT_TRUE(report.empty()) << report;
    fs::remove_all(Root.Path() + saved);
    return r;
  }

  // The board lines of a check's log that end the way given ("not modified(", "done(").
  static size_t Boards(const std::string& output, const std::string& result, const std::string& board = "/") {
    std::istringstream in(output);
    size_t n = 0;
    for (std::string line; std::getline(in, line);)
      n += line.starts_with("  Get ") && line.find(board) != std::string::npos &&
           line.find(" ... " + result) != std::string::npos;
    return n;
  }

  std::string Favorites;
};

TEST_F(ConditionalGetScenario, UnchangedBoardsAreNotSentAgain) {
  const std::string news = "/news/subject.txt", live = "/live/subject.txt";
  // The first check has nothing to ask with; it keeps each list's validators.
  std::vector<std::string> asked;
  TProcessResult r = Check(true, asked);
  EXPECT_EQ(asked, (std::vector<std::string>{live, news}));
  EXPECT_EQ(test::ReadFile(Cache("news") + ".http"),
            "Last-Modified: Tue, 01 Dec 2026 09:00:01 GMT\r\nETag: \"v1\"\r\n");

  // Nothing changed: both boards answer 304, and the host browser's files
  // are those of a check that downloaded both lists again.
  r = SameAsWithoutIt("saved-1", asked);
  const std::string v1 = " If-Modified-Since: Tue, 01 Dec 2026 09:00:01 GMT If-None-Match: \"v1\"";
  EXPECT_EQ(asked, (std::vector<std::string>{live + v1, news + v1}));
  EXPECT_EQ(Boards(r.Output, "not modified("), 2u) << r.Output;
  EXPECT_NE(r.Output.find("  ConditionalGet: True"), std::string::npos) << r.Output;

  // The news board moves on (a new thread, a fallen one, new counts): it is
  // downloaded whole and reported as usual, the same as without the setting.
  Serve("news", {2, 3, 4}, 7);
  r = SameAsWithoutIt("saved-2", asked);
  EXPECT_EQ(asked, (std::vector<std::string>{live + v1, news + v1}));
  EXPECT_EQ(Boards(r.Output, "not modified("), 1u) << r.Output;
  EXPECT_EQ(Boards(r.Output, "done(", news), 1u) << r.Output;
  EXPECT_EQ(test::ReadFile(Cache("news") + ".http"),
            "Last-Modified: Tue, 01 Dec 2026 09:00:02 GMT\r\nETag: \"v2\"\r\n");

  // The news cache removed by hand: its next request asks unconditionally.
  fs::remove(Cache("news") + ".txt");
  r = Check(true, asked);
  EXPECT_EQ(asked, (std::vector<std::string>{live + v1, news}));
  EXPECT_EQ(Boards(r.Output, "done("), 1u) << r.Output;
  EXPECT_TRUE(fs::exists(Cache("news") + ".txt"));

  // A server that stops sending validators: the stored ones go with the
  // next list it sends (the live board's, which asks with its own, too).
  Server.SetConditional(false);
  Serve("news", {2, 3, 4}, 8);
  r = Check(true, asked);
  const std::string v2 = " If-Modified-Since: Tue, 01 Dec 2026 09:00:02 GMT If-None-Match: \"v2\"";
  EXPECT_EQ(asked, (std::vector<std::string>{live + v1, news + v2}));
  EXPECT_FALSE(fs::exists(Cache("news") + ".http"));
  EXPECT_FALSE(fs::exists(Cache("live") + ".http"));
  EXPECT_EQ(Boards(r.Output, "done("), 2u) << r.Output;
}

}  // namespace
}  // namespace vek::e2e
