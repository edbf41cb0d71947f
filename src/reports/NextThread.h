// The next thread (次スレ) of a thread that filled up or fell: which threads of
// its board's list continue it, best first. The whole rule is here:
//
// - Only threads created after it (a greater key), not full, not itself.
// - Titles are compared as character bigrams (Dice coefficient) after
//   normalising what changes from part to part: every number counts as one
//   and the same character whatever its value and width (全角 or not, Ⅰ to Ⅹ
//   too), letters lose their case and width, and the spaces, the brackets
//   【】［］[], "★", "☆", "#" and the words "part" and "その" are dropped.
//   Two titles that both have brackets are also compared without what
//   stands in them (a 【】 prefix often changes between parts); the better
//   of the two counts.
// - The series number is the last number outside brackets (else the last
//   one). A thread whose number is the old one plus one comes first.
// - At most MaxNextThreads, each at least NextThreadThreshold similar.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vek {

// Chosen on two real board lists: on a news board 95 % of the titles have
// no other title scoring above 0.34 with them, on a board of one topic (most
// titles share its name) 90 % none above 0.57; the next part of a title
// (its number one higher, also with another 【】 prefix) scores 1.
inline constexpr double NextThreadThreshold = 0.6;
inline constexpr int MaxNextThreads = 3;

// A title as the comparison sees it.
struct TTitleShape {
  std::vector<uint32_t> Bigrams;      // sorted
  std::vector<uint32_t> CoreBigrams;  // sorted; without bracketed text (empty when there is none)
  long long Number = -1;              // the series number; -1 when the title has none
};

// The title in code page 932, without the count a subject line adds.
TTitleShape ShapeOfTitle(std::string_view title);

// One thread of a board's list.
struct TListedThread {
  std::string_view Key;    // digits, without ".dat"
  std::string_view Title;  // without the count
  int Count = -1;
  uint64_t KeyValue = 0;   // Key as a number; 0 when it has more than 19 digits
};

// A subject line as a thread of the list: false when it names no thread.
// Key and Title point into line.
bool ListedThreadOf(std::string_view line, TListedThread& thread);

// A board's list as the search sees it: its threads, and the shapes of
// their titles, each made when a search first needs it and kept for the
// board's later searches (every title of a board with an ended thread goes
// through the shaping, so their bigrams share one buffer).
class TBoardThreads {
 public:
  TBoardThreads() = default;
  TBoardThreads(const TBoardThreads&) = delete;  // the threads point into Text_
  TBoardThreads& operator=(const TBoardThreads&) = delete;
  // The subject list's text; the threads point into the copy kept here.
  void Assign(std::string text);
  const std::vector<TListedThread>& Threads() const { return Threads_; }
  // The next threads of the thread with the given key and title: their
  // indexes in Threads(), best first. fullAt: a thread with at least this
  // many responses is full (0: none is).
  std::vector<size_t> FindNext(std::string_view oldKey, const TTitleShape& oldTitle, int fullAt);

 private:
  struct TShapeRef {
    uint32_t Begin = 0, Size = 0, CoreBegin = 0, CoreSize = 0;  // in Bigrams_
    long long Number = -1;
    bool Shaped = false;
  };
  const TShapeRef& ShapeOf(size_t index);

  std::string Text_;
  std::vector<TListedThread> Threads_;
  std::vector<TShapeRef> Shapes_;
  std::vector<uint32_t> Bigrams_;
};

// a > b for thread keys of digits (leading zeros ignored).
bool IsLaterKey(std::string_view a, std::string_view b);

}  // namespace vek
