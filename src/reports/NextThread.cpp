// Title normalisation, bigram similarity and the ranking of next threads.
#include "reports/NextThread.h"

#include <algorithm>
#include <array>

#include "reports/HostLog.h"
#include "reports/ResCount.h"
#include "support/SjisText.h"
#include "support/TextLines.h"

namespace vek {

namespace {

// Codes of characters: one byte, or lead byte * 256 + trail byte.
constexpr uint16_t NumberMark = 1;  // every number, whatever its digits
constexpr uint16_t StartMark = 2;   // before the first character
constexpr uint16_t FullSpace = 0x8140, FullDigit0 = 0x824F, FullDigit9 = 0x8258;
constexpr uint16_t FullUpperA = 0x8260, FullUpperZ = 0x8279, FullLowerA = 0x8281, FullLowerZ = 0x829A;
constexpr uint16_t FullHash = 0x8194, BlackStar = 0x819A, WhiteStar = 0x8199;
constexpr uint16_t LenticularOpen = 0x8179, LenticularClose = 0x817A, SquareOpen = 0x816D, SquareClose = 0x816E;
constexpr uint16_t SoKana = 0x82BB, NoKana = 0x82CC;
constexpr long long NumberCap = 1000000000000LL;

struct TChar {
  uint16_t Code = 0;
  bool Bracketed = false;
};

// Full-width digits and letters as ASCII, letters in lower case.
uint16_t Folded(uint16_t c) {
  if (c >= FullDigit0 && c <= FullDigit9) return static_cast<uint16_t>('0' + (c - FullDigit0));
  if (c >= FullUpperA && c <= FullUpperZ) return static_cast<uint16_t>('a' + (c - FullUpperA));
  if (c >= FullLowerA && c <= FullLowerZ) return static_cast<uint16_t>('a' + (c - FullLowerA));
  if (c >= 'A' && c <= 'Z') return static_cast<uint16_t>(c + 32);
  if (c == FullHash) return '#';
  return c;
}

// Ⅰ to Ⅹ (two code points each, and ⅰ to ⅹ) as 1 to 10; 0 for any other.
int RomanValue(uint16_t c) {
  if (c >= 0x8754 && c <= 0x875D) return c - 0x8754 + 1;
  if (c >= 0xFA40 && c <= 0xFA49) return c - 0xFA40 + 1;
  if (c >= 0xFA4A && c <= 0xFA53) return c - 0xFA4A + 1;
  return 0;
}

bool IsOpening(uint16_t c) { return c == LenticularOpen || c == SquareOpen || c == '['; }
bool IsClosing(uint16_t c) { return c == LenticularClose || c == SquareClose || c == ']'; }
bool IsDropped(uint16_t c) { return c == ' ' || c == FullSpace || c == BlackStar || c == WhiteStar || c == '#'; }

enum class TKind : uint8_t { Plain, Dropped, Opening, Closing, Digit, Roman };

// What the normalisation makes of a character.
struct TClass {
  uint16_t Code;  // folded
  TKind Kind;
  uint8_t Value;  // of a digit or a roman numeral
};

TClass Classify(uint16_t raw) {
  const uint16_t c = Folded(raw);
  if (IsOpening(c)) return {c, TKind::Opening, 0};
  if (IsClosing(c)) return {c, TKind::Closing, 0};
  if (c >= '0' && c <= '9') return {c, TKind::Digit, static_cast<uint8_t>(c - '0')};
  if (RomanValue(c) > 0) return {c, TKind::Roman, static_cast<uint8_t>(RomanValue(c))};
  return {c, IsDropped(c) ? TKind::Dropped : TKind::Plain, 0};
}

// Every rule concerns a single byte or a character led by 0x81, 0x82, 0x87
// or 0xFA: their classes are worked out once, 256 for each.
constexpr uint8_t RuleLeads[] = {0, 0x81, 0x82, 0x87, 0xFA};

const TClass* ClassTable() {
  static const std::vector<TClass> table = [] {
    std::vector<TClass> classes;
    for (uint8_t lead : RuleLeads)
      for (unsigned byte = 0; byte < 256; ++byte) classes.push_back(Classify(static_cast<uint16_t>(lead << 8 | byte)));
    return classes;
  }();
  return table.data();
}

// One pass over a title: its characters after the normalisation the header
// describes, and its series number. Every title of a board with an ended
// thread goes through it, so it allocates nothing once its buffer has grown.
class TNormaliser {
 public:
  static constexpr size_t MaxChars = 255;  // the rest of a longer title is not compared
  std::array<TChar, MaxChars + 1> Chars;
  size_t Count = 0;
  long long Outside = -1, Any = -1;  // the last number outside brackets, and the last one

  void Run(std::string_view title) {
    const TClass* classes = ClassTable();
    Count = 0;
    Outside = Any = -1;
    Depth = 0;
    AfterDigit = false;
    for (size_t i = 0; i < title.size() && Count < MaxChars;) {
      const auto lead = static_cast<unsigned char>(title[i]);
      if (!IsSjisLeadByte(lead) || i + 1 == title.size()) {
        ++i;
        Take(classes[lead]);
        continue;
      }
      const auto trail = static_cast<unsigned char>(title[i + 1]);
      i += 2;
      // Kanji and katakana, most of a title: no rule applies to them.
      const int group = lead == 0x81 ? 1 : lead == 0x82 ? 2 : lead == 0x87 ? 3 : lead == 0xFA ? 4 : 0;
      if (group == 0) Push(static_cast<uint16_t>(lead << 8 | trail));
      else Take(classes[group * 256 + trail]);
    }
  }

 private:
  void Push(uint16_t c) {
    AfterDigit = false;
    Chars[Count++] = {c, Depth > 0};
    // The words "part" and "その" are dropped as they end.
    const size_t n = Count;
    if (n >= 2 && c == NoKana && Chars[n - 2].Code == SoKana) Count -= 2;
    else if (n >= 4 && c == 't' && Chars[n - 2].Code == 'r' && Chars[n - 3].Code == 'a' && Chars[n - 4].Code == 'p')
      Count -= 4;
  }
  void Number(long long value) {
    if (Depth == 0) Outside = value;
    Any = value;
  }
  void Take(const TClass& c) {
    const bool digit = c.Kind == TKind::Digit;
    if (digit && AfterDigit) return Number(std::min(NumberCap, Any * 10 + c.Value));
    switch (c.Kind) {
      case TKind::Plain:
        return Push(c.Code);
      case TKind::Opening:
        ++Depth;
        break;
      case TKind::Closing:
        Depth = std::max(0, Depth - 1);
        break;
      case TKind::Digit:
      case TKind::Roman:
        Push(NumberMark);
        Number(c.Value);
        break;
      case TKind::Dropped:
        break;
    }
    AfterDigit = digit;
  }
  int Depth = 0;
  bool AfterDigit = false;
};

// Appends the sorted bigrams of the characters (only those outside brackets
// when coreOnly) to pool; returns how many.
uint32_t AppendBigrams(const TChar* chars, size_t count, bool coreOnly, std::vector<uint32_t>& pool) {
  const size_t begin = pool.size();
  pool.resize(begin + count);
  uint32_t* const first = pool.data() + begin;
  uint32_t* out = first;
  uint32_t previous = StartMark;
  for (size_t i = 0; i < count; ++i) {
    if (coreOnly && chars[i].Bracketed) continue;
    *out++ = previous << 16 | chars[i].Code;
    previous = chars[i].Code;
  }
  std::sort(first, out);
  pool.resize(begin + static_cast<size_t>(out - first));
  return static_cast<uint32_t>(out - first);
}

// A title's bigrams in pool, from begin on: first the whole title's, then
// its core's.
struct TShaped {
  uint32_t Size = 0, CoreSize = 0;
  long long Number = -1;
};

TShaped AppendShape(std::string_view title, std::vector<uint32_t>& pool) {
  thread_local TNormaliser normaliser;
  normaliser.Run(title);
  const TChar* chars = normaliser.Chars.data();
  const size_t count = normaliser.Count;
  TShaped shape;
  shape.Size = AppendBigrams(chars, count, false, pool);
  const auto core = static_cast<size_t>(std::count_if(chars, chars + count, [](const TChar& c) { return !c.Bracketed; }));
  // A core of one or two characters says too little to be compared alone.
  if (core >= 3 && core < count) shape.CoreSize = AppendBigrams(chars, count, true, pool);
  shape.Number = normaliser.Outside >= 0 ? normaliser.Outside : normaliser.Any;
  return shape;
}

// Sorted bigrams, where they are kept.
struct TBigrams {
  const uint32_t* Data;
  size_t Size;
};

// Dice coefficient of two sorted multisets.
double Dice(TBigrams a, TBigrams b) {
  if (a.Size == 0 || b.Size == 0) return 0;
  size_t common = 0;
  for (size_t i = 0, j = 0; i < a.Size && j < b.Size;) {
    if (a.Data[i] < b.Data[j]) ++i;
    else if (b.Data[j] < a.Data[i]) ++j;
    else ++common, ++i, ++j;
  }
  return 2.0 * static_cast<double>(common) / static_cast<double>(a.Size + b.Size);
}

// Whole titles and, when both have brackets, their cores: the better counts.
// A title that merely shares its words with another's brackets is not its
// next part, hence the cores only when both have one.
double Similarity(TBigrams a, TBigrams aCore, TBigrams b, TBigrams bCore) {
  const bool cores = aCore.Size > 0 && bCore.Size > 0;
  const double whole = Dice(a, b);
  return cores ? std::max(whole, Dice(aCore, bCore)) : whole;
}

// Whether two titles of these sizes can reach the threshold at all.
bool CanReach(size_t a, size_t b) { return 2 * std::min(a, b) >= NextThreadThreshold * static_cast<double>(a + b) && a + b > 0; }
bool CanReach(TBigrams a, TBigrams aCore, TBigrams b, TBigrams bCore) {
  return CanReach(a.Size, b.Size) || (aCore.Size > 0 && bCore.Size > 0 && CanReach(aCore.Size, bCore.Size));
}

TBigrams Whole(const TTitleShape& s) { return {s.Bigrams.data(), s.Bigrams.size()}; }
TBigrams Core(const TTitleShape& s) { return {s.CoreBigrams.data(), s.CoreBigrams.size()}; }

std::string_view WithoutLeadingZeros(std::string_view key) {
  while (key.size() > 1 && key.front() == '0') key.remove_prefix(1);
  return key;
}

struct TScored {
  size_t Index;
  double Score;
  bool Successor;
};

// a's key > b's key.
bool IsLater(const TListedThread& a, const TListedThread& b) {
  return a.KeyValue > 0 && b.KeyValue > 0 ? a.KeyValue > b.KeyValue : IsLaterKey(a.Key, b.Key);
}

// One thread listed twice: neither key comes after the other.
bool IsSameThread(const TListedThread& a, const TListedThread& b) { return !IsLater(a, b) && !IsLater(b, a); }

// The successor by number first, then the most similar; of equals, the
// older thread (the first one made is the one readers move to).
bool IsBetter(const TScored& a, const TScored& b, const std::vector<TListedThread>& threads) {
  if (a.Successor != b.Successor) return a.Successor;
  if (a.Score != b.Score) return a.Score > b.Score;
  if (IsLater(threads[b.Index], threads[a.Index])) return true;
  if (IsLater(threads[a.Index], threads[b.Index])) return false;
  return a.Index < b.Index;
}

// Puts the candidate into the best few, in order; a thread the server lists
// twice is offered once, by its better line.
void Keep(std::vector<TScored>& best, const TScored& candidate, const std::vector<TListedThread>& threads) {
  // Most candidates of a long list come no nearer than the last place.
  if (best.size() == static_cast<size_t>(MaxNextThreads) && !IsBetter(candidate, best.back(), threads)) return;
  for (size_t k = 0; k < best.size(); ++k) {
    if (!IsSameThread(threads[best[k].Index], threads[candidate.Index])) continue;
    if (!IsBetter(candidate, best[k], threads)) return;
    best.erase(best.begin() + static_cast<std::ptrdiff_t>(k));
    break;
  }
  auto at = best.begin();
  while (at != best.end() && !IsBetter(candidate, *at, threads)) ++at;
  if (at - best.begin() >= MaxNextThreads) return;
  best.insert(at, candidate);
  if (best.size() > static_cast<size_t>(MaxNextThreads)) best.pop_back();
}

// The key as a number when it has at most 19 digits; else 0.
uint64_t KeyValueOf(std::string_view key) {
  key = WithoutLeadingZeros(key);
  if (key.size() > 19) return 0;
  uint64_t value = 0;
  for (char c : key) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

}  // namespace

TTitleShape ShapeOfTitle(std::string_view title) {
  std::vector<uint32_t> pool;
  const TShaped shaped = AppendShape(title, pool);
  TTitleShape shape;
  shape.Bigrams.assign(pool.begin(), pool.begin() + shaped.Size);
  shape.CoreBigrams.assign(pool.begin() + shaped.Size, pool.end());
  shape.Number = shaped.Number;
  return shape;
}

bool ListedThreadOf(std::string_view line, TListedThread& thread) {
  const std::string_view key = SubjectLineKey(line);
  if (key.empty()) return false;
  thread.Key = key.substr(0, key.size() - 4);
  thread.KeyValue = KeyValueOf(thread.Key);
  thread.Title = line.substr(key.size() + 2);
  thread.Count = CountOfSubjectLine(line);
  // "(" and " " are below 0x40: never the trail byte of a character.
  if (thread.Count >= 0) thread.Title = thread.Title.substr(0, thread.Title.rfind('('));
  while (!thread.Title.empty() && thread.Title.back() == ' ') thread.Title.remove_suffix(1);
  return true;
}

bool IsLaterKey(std::string_view a, std::string_view b) {
  a = WithoutLeadingZeros(a);
  b = WithoutLeadingZeros(b);
  return a.size() != b.size() ? a.size() > b.size() : a > b;
}

void TBoardThreads::Assign(std::string text) {
  Text_ = std::move(text);
  Threads_.clear();
  Shapes_.clear();
  Bigrams_.clear();
  ForEachLine(Text_, [&](std::string_view line) {
    TListedThread thread;
    if (ListedThreadOf(line, thread)) Threads_.push_back(thread);
  });
  Shapes_.resize(Threads_.size());
  Bigrams_.reserve(Text_.size() / 2);
}

const TBoardThreads::TShapeRef& TBoardThreads::ShapeOf(size_t index) {
  TShapeRef& shape = Shapes_[index];
  if (shape.Shaped) return shape;
  shape.Begin = static_cast<uint32_t>(Bigrams_.size());
  const TShaped shaped = AppendShape(Threads_[index].Title, Bigrams_);
  shape.Size = shaped.Size;
  shape.CoreBegin = shape.Begin + shaped.Size;
  shape.CoreSize = shaped.CoreSize;
  shape.Number = shaped.Number;
  shape.Shaped = true;
  return shape;
}

std::vector<size_t> TBoardThreads::FindNext(std::string_view oldKey, const TTitleShape& oldTitle, int fullAt) {
  TListedThread old;
  old.Key = oldKey;
  old.KeyValue = KeyValueOf(oldKey);
  const TBigrams oldWhole = Whole(oldTitle), oldCore = Core(oldTitle);
  std::vector<TScored> best;  // at most MaxNextThreads, best first
  for (size_t i = 0; i < Threads_.size(); ++i) {
    const TListedThread& thread = Threads_[i];
    if (!IsLater(thread, old) || (fullAt > 0 && thread.Count >= fullAt)) continue;
    const TShapeRef& shape = ShapeOf(i);
    const TBigrams whole{Bigrams_.data() + shape.Begin, shape.Size}, core{Bigrams_.data() + shape.CoreBegin, shape.CoreSize};
    if (!CanReach(oldWhole, oldCore, whole, core)) continue;
    const double score = Similarity(oldWhole, oldCore, whole, core);
    if (score < NextThreadThreshold) continue;
    Keep(best, {i, score, oldTitle.Number >= 0 && shape.Number == oldTitle.Number + 1}, Threads_);
  }
  std::vector<size_t> indexes;
  for (const TScored& s : best) indexes.push_back(s.Index);
  return indexes;
}

}  // namespace vek
