// The next-thread report over three checks of a board of series threads in
// the usual title formats, with a board that fails, and a server that lists
// keys that are no thread numbers: every written file compared with the
// expected tree of each check.
#include "ScenarioSupport.h"

namespace vek::e2e {
namespace {

// Watched threads: key, title, count on the server (0: not listed, fallen).
struct TWatched {
  const char* Key;
  const char* Title;
  int Count;
};

const TWatched Watched[] = {
    {"1700000001", "ニュース速報 Part12", 1000},          // a decoy series beside its next part
    {"1700000002", "【悲報】ゲーム雑談スレ★3", 1001},    // the 【】 prefix changes
    {"1700000003", "アニメ実況 その２５", 0},             // fell; full-width digits
    {"1700000004", "料理を語る 15スレ目", 1000},
    {"1700000005", "ＦＸ総合 ｐａｒｔ９", 1000},          // its next part is written half-width
    {"1700000006", "将棋の話題 Part7", 1000},             // no next part yet
    {"1700000050", "囲碁の話題 Part3", 1000},             // its "next part" is older than it
    {"1700000060", "雑談 Part1", 400},                    // not full: not listed
};

const char* SeriesList =
    "1700000101.dat<>ニュース速報 Part13 (5)\n"
    "1700000102.dat<>ニュース速報（海外） Part13 (7)\n"
    "1700000103.dat<>【朗報】ゲーム雑談スレ★4 (20)\n"
    "1700000104.dat<>アニメ実況 その２６ (300)\n"
    "1700000105.dat<>料理を語る 16スレ目 (2)\n"
    "1700000106.dat<>FX総合 part10 (12)\n"
    "1700000107.dat<>ニュース速報 Part12 (1000)\n"
    "1700000007.dat<>囲碁の話題 Part4 (900)\n"
    "1799999999\" onmouseover=\"alert(1).dat<>ニュース速報 Part13 (1)\n"
    "../../../x.dat<>料理を語る 16スレ目 (1)\n"
    "1799999998<b>.dat<>アニメ実況 その２６ (1)\n";

class NextThreadScenario : public TScenario {
 protected:
  void SetUp() override {
    TScenario::SetUp();
    if (IsSkipped()) return;
    Name = "next_thread";
    std::string favorite;
    std::string list = SeriesList;
    for (const TWatched& w : Watched) {
      favorite += Thread("series", w.Key) + "\r\n";
      WriteIndex(Thread("series", w.Key), Record("series", w.Key, w.Title));
      if (w.Count > 0) list += std::string(w.Key) + ".dat<>" + w.Title + " (" + std::to_string(w.Count) + ")\n";
    }
    // On a board that will fail: fallen, and its next part is listed.
    favorite += Thread("zfail", "1700000201") + "\r\n";
    WriteIndex(Thread("zfail", "1700000201"), Record("zfail", "1700000201", "落ちる板のスレ Part1"));
    WriteHostFile("favorite.idx", favorite);
    WriteSettings("NextThreadReport=1\r\n");
    Server.Put("/series/subject.txt", list);
    Server.Put("/zfail/subject.txt", "1700000202.dat<>落ちる板のスレ Part2 (3)\n");
  }

  std::string Thread(const std::string& board, const std::string& key) const {
    return H1() + "\\" + board + "\\" + key + ".idx";
  }

  TIndexRecord Record(const std::string& board, const std::string& key, const std::string& title) const {
    TIndexRecord r;
    r.Title = title;
    r.Host = H1Url();
    r.Board = board;
    r.Key = key;
    r.ServerCount = r.LocalCount = "10";
    return r;
  }

  void Check(const std::string& step) {
    WaitPastGuard();
    TProcessResult r = Vek("check");
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    ExpectStep(step);
  }
};

// 1: every board answers; the full and fallen threads are listed with their
// next parts, the hostile keys nowhere. 2: the second board fails (its
// thread is left out); the report changes and is new again. 3: the same
// once more: the report is rewritten but not new.
TEST_F(NextThreadScenario, ThreeChecks) {
  Check("1-every-board");
  Server.Remove("/zfail/subject.txt");
  Check("2-board-failed");
  Check("3-nothing-changed");
}

}  // namespace
}  // namespace vek::e2e
