// The next-thread rule: a board of realistic series titles, and the real
// board lists with the next part of every numbered thread added to them.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "TestSupport.h"
#include "reports/NextThread.h"

namespace vek {
namespace {

struct TBoard {
  std::vector<std::string> Lines;
  TBoardThreads List;
  void Parse() {
    std::string text;
    for (const std::string& line : Lines) text += line + "\n";
    List.Assign(text);
  }
  const std::vector<TListedThread>& Threads() const { return List.Threads(); }
  // The keys of the next threads of the thread with this key.
  std::vector<std::string> NextOf(const std::string& key, int fullAt = 1000) {
    for (const TListedThread& t : Threads())
      if (t.Key == key) return Keys(List.FindNext(key, ShapeOfTitle(t.Title), fullAt));
    return {"no such thread"};
  }
  std::vector<std::string> Keys(const std::vector<size_t>& found) const {
    std::vector<std::string> keys;
    for (size_t i : found) keys.emplace_back(Threads()[i].Key);
    return keys;
  }
};

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The title with its series number (last digits outside 【】, else the
// last) one higher, in the same width.
std::string NextPart(const std::string& title) {
  size_t start = std::string::npos, end = 0, outStart = std::string::npos, outEnd = 0;
  int depth = 0;
  for (size_t i = 0; i < title.size();) {
    auto c = static_cast<unsigned char>(title[i]);
    bool wide = c >= 0x81 && (c <= 0x9F || c >= 0xE0);
    unsigned code = wide ? c << 8 | static_cast<unsigned char>(title[i + 1]) : c;
    bool digit = (code >= '0' && code <= '9') || (code >= 0x824F && code <= 0x8258);
    if (code == 0x8179) ++depth;
    if (code == 0x817A && depth > 0) --depth;
    size_t next = i + (wide ? 2 : 1);
    if (digit) {
      if (end != i) start = i;
      end = next;
      if (depth == 0) outStart = start, outEnd = end;
    }
    i = next;
  }
  if (outStart != std::string::npos) start = outStart, end = outEnd;
  if (start == std::string::npos) return {};
  std::string digits;
  bool wide = static_cast<unsigned char>(title[start]) == 0x82;
  for (size_t i = start; i < end; i += wide ? 2 : 1) digits += wide ? char('0' + title[i + 1] - 0x4F) : title[i];
  if (digits.size() > 9) return {};
  std::string next = std::to_string(std::stoll(digits) + 1), text;
  for (char d : next) text += wide ? std::string{'\x82', char(0x4F + d - '0')} : std::string(1, d);
  return title.substr(0, start) + text + title.substr(end);
}

// Titles of several series formats: what comes first, and what never comes.
TEST(NextThread, SeriesFormats) {
  TBoard board;
  board.Lines = {"1700000001.dat<>ニュース速報 Part12 (1000)",     "1700000101.dat<>ニュース速報（海外） Part13 (7)",
                 "1700000102.dat<>ニュース速報 Part13 (5)",        "1700000002.dat<>【悲報】ゲーム雑談スレ★3 (1001)",
                 "1700000103.dat<>【朗報】ゲーム雑談スレ★4 (20)",  "1700000003.dat<>アニメ実況 その２５ (1000)",
                 "1700000104.dat<>アニメ実況 その26 (3)",          "1700000004.dat<>料理を語る 15スレ目 (1000)",
                 "1700000105.dat<>料理を語る 16スレ目 (1000)",     "1700000106.dat<>料理を語る 16スレ目 (2)",
                 "1700000050.dat<>囲碁の話題 Part3 (1000)",        "1700000007.dat<>囲碁の話題 Part4 (900)",
                 "1700000008.dat<>ＣＣさくらを語ろう！そのⅡ (1000)", "1700000108.dat<>CCさくらを語ろう！ その3 (1)"};
  board.Parse();
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"1700000001", {"1700000102", "1700000101"}},  // the decoy series second
      {"1700000002", {"1700000103"}},                // another 【】 prefix
      {"1700000003", {"1700000104"}},                // full-width to half-width
      {"1700000004", {"1700000106"}},                // the full one is no candidate
      {"1700000050", {}},                            // the older Part4 never comes
      {"1700000008", {"1700000108"}},                // Ⅱ, then 3
  };
  for (const auto& [key, expected] : cases) EXPECT_EQ(board.NextOf(key), expected) << key;
  // With no count making a thread full, the full Part13 counts too.
  EXPECT_EQ(board.NextOf("1700000004", 0), (std::vector<std::string>{"1700000105", "1700000106"}));
}

// Keys are thread numbers: leading zeros change nothing, a thread listed
// twice is offered once, and a key longer than a machine number still
// compares by its value.
TEST(NextThread, KeysAreThreadNumbers) {
  TBoard board;
  board.Lines = {"1700000001.dat<>雑談 Part1 (1000)", "01700000002.dat<>雑談 Part2 (5)", "1700000002.dat<>雑談 Part2 (5)",
                 "99999999999999999999.dat<>雑談 Part3 (1)", "0000000000000000000001699999999.dat<>雑談 Part0 (1)"};
  board.Parse();
  EXPECT_EQ(board.NextOf("1700000001"), (std::vector<std::string>{"01700000002", "99999999999999999999"}));
  EXPECT_EQ(board.NextOf("99999999999999999999"), std::vector<std::string>{});
  EXPECT_TRUE(IsLaterKey("100000000000000000000", "99999999999999999999"));
}

// Every numbered title of the real lists gets its next part (number + 1,
// then also with another 【】 prefix) added as the newest thread: it must
// come first, before every real title of the board. The one real pair in
// the lists (ナースウィッチ… 2 and 3) is found as well.
TEST(NextThread, RealListsFindTheNextPartFirst) {
  int tried = 0, first = 0;
  for (const char* name : {"subject-a.txt", "subject-b.txt"}) {
    TBoard board;
    board.Lines = LinesOf(test::RealFixture(name));
    board.Parse();
    ASSERT_GT(board.Threads().size(), 300u) << name;
    for (size_t i = 0; i < board.Threads().size(); ++i) {
      const std::string title(board.Threads()[i].Title), key(board.Threads()[i].Key);
      std::string next = NextPart(title);
      if (next.empty()) continue;
      // The prefix is changed only where the number stands after it.
      const bool prefixed = title.rfind("【", 0) == 0 && title.substr(0, title.find("】")) == next.substr(0, next.find("】"));
      for (int variant = 0; variant < (prefixed ? 2 : 1); ++variant) {
        const std::string added = variant == 0 ? next : "【新】" + next.substr(next.find("】") + 2);
        TBoard with;
        with.Lines = board.Lines;
        with.Lines.push_back("9999999999.dat<>" + added + " (3)");
        with.Parse();
        const std::vector<std::string> found = with.NextOf(key);
        ++tried;
        first += !found.empty() && (found[0] == "9999999999" || (key == "1131723095" && found[0] == "1323962865"));
        for (const std::string& k : found) EXPECT_TRUE(IsLaterKey(k, key)) << title;
      }
    }
  }
  std::printf("the next part first for %d of %d threads\n", first, tried);
  EXPECT_GE(first * 10, tried * 9) << first << " of " << tried;
  EXPECT_GT(tried, 200);
}

}  // namespace
}  // namespace vek
