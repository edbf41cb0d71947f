// Whole check runs of the headless command over a host directory built here,
// boards served from loopback, every written file compared with the expected
// tree of each step.
#include <filesystem>
#include <sstream>

#include "ScenarioSupport.h"
#include "platform/Console.h"

namespace vek::e2e {
namespace {

// Lines [from, from + count) of a real board list (LF line ends there).
std::vector<std::string> FixtureLines(const std::string& name, size_t from, size_t count) {
  std::istringstream in(test::RealFixture(name));
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; std::getline(in, line); ++i)
    if (i >= from && i < from + count) lines.push_back(line);
  return lines;
}

std::string Joined(const std::vector<std::string>& lines, const std::string& end) {
  std::string s;
  for (const auto& l : lines) s += l + end;
  return s;
}

// The title of a subject line: after "<>", before the last " (".
std::string TitleOf(const std::string& subjectLine) {
  size_t start = subjectLine.find("<>") + 2;
  return subjectLine.substr(start, subjectLine.rfind(" (") - start);
}

class CheckRunScenario : public TScenario {
 protected:
  void SetUp() override {
    TScenario::SetUp();
    if (IsSkipped()) return;
    Name = "check_run";
    BuildHost();
    if (HasFatalFailure()) return;
    ServeFirstLists();
  }

  std::string News(const std::string& key) const { return H1() + "\\news\\" + key + ".idx"; }
  std::string Live(const std::string& key) const { return H1() + "\\live\\" + key + ".idx"; }

  TIndexRecord Rec(const std::string& board, const std::string& key, const std::string& title, const std::string& server,
                   const std::string& local, const std::string& mark) const {
    TIndexRecord r;
    r.Title = title;
    r.Host = H1Url();
    r.Board = board;
    r.Key = key;
    r.ServerCount = server;
    r.LocalCount = local;
    r.NewMark = mark;
    return r;
  }

  void BuildHost() {
    WriteIndex(News("1000000001"), Rec("news", "1000000001", "ニュース速報その1", "10", "10", "-1"));
    WriteIndex(News("1000000002"), Rec("news", "1000000002", "変化なしのスレ", "10", "10", "-1"));
    WriteIndex(News("1000000003"), Rec("news", "1000000003", "レス数が消えたスレ", "10", "10", ""));
    WriteIndex(News("1000000004"), Rec("news", "1000000004", "落ちる,カンマ入り,スレ", "5", "5", "-1"));
    // A second line that the host browser keeps: a count update leaves it.
    // Flag 32 is one the host browser sets itself; the fallen mark adds 16.
    TIndexRecord unread = Rec("news", "1000000005", "未読のままのスレ", "10", "10", "");
    unread.Flags = "32";
    WriteIndex(News("1000000005"), unread, "two\tmore\tfields\r\n");
    WriteIndex(News("1000000006"), Rec("news", "1000000006", "ローカル数不明", "10", "abc", "-1"));
    TIndexRecord fallen = Rec("news", "1000000007", "もう落ちたスレ", "9", "9", "-1");
    fallen.Flags = "48";
    WriteIndex(News("1000000007"), fallen);
    WriteIndex(News("1000000008"), Rec("news", "1000000008", "板一覧にしかないスレ", "10", "10", "-1"));

    auto live = FixtureLines("subject-a.txt", 0, 12);
    ASSERT_EQ(live.size(), 12u) << "the real board list subject-a.txt is missing from the shared fixtures";
    // 1227089746: a title full of parentheses, count 50 on the server.
    WriteIndex(Live("1227089746"), Rec("live", "1227089746", TitleOf(live[10]), "45", "45", "-1"));
    WriteIndex(Live("1302924333"), Rec("live", "1302924333", TitleOf(live[0]), "23", "23", "-1"));

    // An external board: host and board come from the index record.
    TIndexRecord ext = Rec("ext", "3000000001", "外部板のスレ", "5", "5", "-1");
    WriteIndex("ext.example.org\\extboard\\3000000001.idx", ext);
    WriteIndex(H1() + "\\excl\\1400000001.idx", Rec("excl", "1400000001", "除外板のスレ", "3", "3", "-1"));
    TIndexRecord down = Rec("down", "1500000001", "落ちているサーバのスレ", "4", "4", "-1");
    down.Host = DeadHostUrl();
    WriteIndex(DeadHost() + "\\down\\1500000001.idx", down);
    // A board name that sorts after "down" whatever the collation does with
    // the backslash that follows "down".
    down.Board = "gone";
    down.Key = "1500000002";
    WriteIndex(DeadHost() + "\\gone\\1500000002.idx", down);

    WriteHostFile("favorite.idx", News("1000000001") + "\r\n" + News("1000000002") + "\r\n" + News("1000000003") + "\r\n" +
                                      News("1000000004") + "\r\n" + Live("1227089746") + "\r\n" + Live("1302924333") +
                                      "\r\n" + "ext.example.org\\extboard\\3000000001.idx\r\n" + News("1000000007") +
                                      "\r\n");
    WriteHostFile("work.idx", News("1000000005") + "\n" + News("1000000006") + "\n" + H1() + "\\excl\\1400000001.idx\n" +
                                  DeadHost() + "\\down\\1500000001.idx\n" + DeadHost() + "\\gone\\1500000002.idx\n" +
                                  News("1000000001") + "\n");
    // Neither the board list nor an old new-arrival list names watched threads.
    WriteHostFile("favboard.idx", News("1000000008") + "\r\n");
    WriteHostFile("$$$$$$$$.idx", News("1000000008") + "\r\n");

    WriteSettings();
    WriteProgFile("subject_list.txt", "http://" + H1Url() + "/live/subject.txt=0\r\n");
    WriteProgFile("non_report_list.txt", "%2Fexcl.txt\r\n");
  }

  void ServeFirstLists() {
    Server.Put("/news/subject.txt",
               "1000000009.dat<>見ていないスレ (100)\n"
               "1000000001.dat<>ニュース速報その1 (15)\n"
               "1000000003.dat<>レス数が消えたスレ (0)\n"
               "1000000006.dat<>ローカル数不明 (20)\n"
               "1000000002.dat<>変化なしのスレ (10)\n"
               "1000000005.dat<>未読のままのスレ (10)\n"
               "1000000008.dat<>板一覧にしかないスレ (30)\n");
    Server.Put("/live/subject.txt", Joined(FixtureLines("subject-a.txt", 0, 12), "\n"));
    // The comma form, gzip-encoded, on the external board.
    Server.Put("/ext/subject.txt", "3000000001.dat,外部板のスレ (7)\r\n3000000002.cgi,外部板の別スレ (3)\r\n", true);
    Server.Put("/excl/subject.txt", "1400000001.dat<>除外板のスレ (3)\r\n");
  }

  void ExpectRequests(const std::vector<std::string>& expected) {
    auto all = Server.Requests();
    std::vector<std::string> recent(all.begin() + static_cast<long>(RequestsSeen), all.end());
    RequestsSeen = all.size();
    EXPECT_EQ(recent, expected);
  }

  // --summary's line (code page 932, or UTF-8 where the terminal wants it)
  // after the log's last empty line.
  static void ExpectSummary(const TProcessResult& r, const std::string& summary) {
    const std::string tail = r.Output.substr(r.Output.rfind("***** Done!! *****"));
    EXPECT_TRUE(tail.ends_with("\n\n" + summary) || tail.ends_with("\n\n" + platform::Cp932ToUtf8(summary))) << tail;
  }

  size_t RequestsSeen = 0;
};

// The whole life of a reader's setup over five checks: news and no news,
// counts of 0, threads that fall, a host that is down, an external board,
// titles with commas, an excluded board, a refused early check, a deleted
// report index, a reset of the new-thread report between checks, and the
// fallen mark on for one start.
TEST_F(CheckRunScenario, SevenChecksOverOneHostDirectory) {
  const std::vector<std::string> everyBoard = {"/live/subject.txt", "/excl/subject.txt", "/news/subject.txt",
                                               "/ext/subject.txt"};

  // First check: counts written, one thread gone, the dead host's boards
  // failed and skipped; no snapshot yet, so nothing is new. The settings
  // file was written long ago.
  WaitPastGuard();
  // Index files whose bytes stay the same are not written at all: the host
  // browser may hold them, and a rewrite would gain nothing.
  const std::vector<std::string> untouched = {News("1000000002"), News("1000000005"), News("1000000004"),
                                              News("1000000007"), News("1000000008"),
                                              DeadHost() + "\\down\\1500000001.idx"};
  auto logFile = [this](std::string threadPath) {
    for (char& c : threadPath)
      if (c == '\\') c = '/';
    return HostDir() + "log/" + threadPath;
  };
  std::vector<TFileIdentity> before;
  for (const auto& p : untouched) {
    before.push_back(IdentityOf(logFile(p)));
    ASSERT_NE(before.back().Inode, 0u) << p;
  }
  TProcessResult r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectRequests(everyBoard);
  ExpectStep("1-first-check");
  for (size_t i = 0; i < untouched.size(); ++i)
    EXPECT_TRUE(IdentityOf(logFile(untouched[i])) == before[i]) << untouched[i] << " was rewritten";

  // A little later the boards have moved on: new threads (one with commas),
  // higher counts, another thread gone.
  Server.Put("/news/subject.txt",
             "1000000011.dat<>ふつうの新スレ (2)\n"
             "1000000001.dat<>ニュース速報その1 (18)\n"
             "1000000003.dat<>レス数が消えたスレ (0)\n"
             "1000000010.dat<>新スレ,カンマ付き,です (1)\n"
             "1000000002.dat<>変化なしのスレ (12)\n"
             "1000000005.dat<>未読のままのスレ (10)\n"
             "1000000008.dat<>板一覧にしかないスレ (31)\n"
             "1000000009.dat<>見ていないスレ (101)\n");
  Server.Put("/excl/subject.txt", "1400000001.dat<>除外板のスレ (3)\r\n1400000002.dat<>除外板の新スレ (1)\r\n");
  Server.Put("/ext/subject.txt", "3000000001.dat,外部板のスレ (9)\r\n3000000002.cgi,外部板の別スレ (3)\r\n", true);
  // --summary adds the counts of what the files below hold (the new-arrival
  // list's threads, the fallen ones, this check's new threads outside the
  // excluded board, failed.txt's boards) on one line after the log; the
  // files, veklog.txt included, are those of a check without it.
  WaitPastGuard();
  r = Vek("check", {"--summary"});
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectSummary(r, "新着 5 / DAT落ち 2 / 新スレ 2 / 取得失敗 2板\n");
  ExpectRequests(everyBoard);
  ExpectStep("2-boards-moved-on");

  // Straight away again: the guard refuses, no board is asked, nothing but
  // the log changes.
  r = Vek("check");
  EXPECT_NE(r.ExitCode, 0) << r.Output;
  ExpectRequests({});
  ExpectStep("3-refused-too-soon");

  // The reader deleted the new-thread report's index: the next check starts
  // the report afresh with its own response. The external board answers
  // with an error page this time: its cached list stays as it was, and its
  // host (the server's) counts as failed for the interval.
  std::filesystem::remove(HostDir() + "log/localhost/vek/1000000000.idx");
  Server.Remove("/ext/subject.txt");
  WaitPastGuard();
  r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectRequests(everyBoard);
  ExpectStep("4-report-index-deleted");
  Server.Put("/ext/subject.txt", "3000000001.dat,外部板のスレ (9)\r\n3000000002.cgi,外部板の別スレ (3)\r\n", true);

  // A reset, then new threads on the live board only: the report holds its
  // first line and this check's response.
  r = Vek("init-report");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectRequests({});
  Server.Put("/live/subject.txt", Joined(FixtureLines("subject-a.txt", 0, 14), "\n"));
  WaitPastGuard();
  r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectRequests(everyBoard);
  ExpectStep("5-reset-then-check");

  // With the fallen mark on for this start: the thread that has just gone
  // (flags 32, a second line) and the two that went earlier get flag 16 in
  // their index files, which keep only their first line; all three are in
  // the dead-thread report once more. Its four counts differ from each other,
  // so that --summary shows each in its own place.
  Server.Put("/news/subject.txt",
             "1000000011.dat<>ふつうの新スレ (3)\n"
             "1000000001.dat<>ニュース速報その1 (18)\n"
             "1000000003.dat<>レス数が消えたスレ (0)\n"
             "1000000010.dat<>新スレ,カンマ付き,です (1)\n"
             "1000000002.dat<>変化なしのスレ (12)\n"
             "1000000008.dat<>板一覧にしかないスレ (31)\n"
             "1000000009.dat<>見ていないスレ (101)\n");
  WaitPastGuard();
  r = Vek("check", {"--mark-fallen", "--summary"});
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectSummary(r, "新着 4 / DAT落ち 3 / 新スレ 0 / 取得失敗 2板\n");
  ExpectRequests(everyBoard);
  ExpectStep("6-fallen-marked");

  // The next start has the mark off again (it is never saved). The marked
  // threads are no longer watched: not asked for, not reported. The thread
  // that falls now is reported, and its index file stays as it was.
  Server.Put("/news/subject.txt",
             "1000000011.dat<>ふつうの新スレ (3)\n"
             "1000000001.dat<>ニュース速報その1 (18)\n"
             "1000000003.dat<>レス数が消えたスレ (0)\n"
             "1000000010.dat<>新スレ,カンマ付き,です (1)\n"
             "1000000008.dat<>板一覧にしかないスレ (31)\n"
             "1000000009.dat<>見ていないスレ (101)\n");
  const std::string unchanged = test::ReadFile(HostDir() + "log/" + H1() + "/news/1000000002.idx");
  WaitPastGuard();
  r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectRequests(everyBoard);
  ExpectStep("7-mark-not-kept");
  EXPECT_EQ(test::ReadFile(HostDir() + "log/" + H1() + "/news/1000000002.idx"), unchanged);
}

}  // namespace
}  // namespace vek::e2e
