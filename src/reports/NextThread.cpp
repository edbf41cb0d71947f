// Title normalisation, bigram similarity and the ranking of next threads.
#include "reports/NextThread.h"

#include <algorithm>

#include "reports/HostLog.h"
#include "reports/ResCount.h"
#include "support/SjisText.h"

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
  long long Number = -1;  // the value when Code is NumberMark
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

// The words "part" and "その" left out.
std::vector<TChar> WithoutMarkerWords(const std::vector<TChar>& chars) {
  static const std::vector<uint16_t> part = {'p', 'a', 'r', 't'};
  static const std::vector<uint16_t> sono = {SoKana, NoKana};
  std::vector<TChar> kept;
  kept.reserve(chars.size());
  const auto startsWith = [&](size_t at, const std::vector<uint16_t>& word) {
    if (at + word.size() > chars.size()) return false;
    for (size_t k = 0; k < word.size(); ++k)
      if (chars[at + k].Code != word[k]) return false;
    return true;
  };
  for (size_t i = 0; i < chars.size();) {
    if (startsWith(i, part)) i += part.size();
    else if (startsWith(i, sono)) i += sono.size();
    else kept.push_back(chars[i++]);
  }
  return kept;
}

// The title's characters after the normalisation the header describes.
std::vector<TChar> Normalised(std::string_view title) {
  std::vector<TChar> chars;
  chars.reserve(title.size());
  int depth = 0;
  bool afterDigit = false;
  for (size_t i = 0; i < title.size();) {
    const auto lead = static_cast<unsigned char>(title[i]);
    uint16_t c = lead;
    if (IsSjisLeadByte(lead) && i + 1 < title.size()) c = static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(title[i + 1]));
    i += c > 0xFF ? 2 : 1;
    c = Folded(c);
    const bool digit = c >= '0' && c <= '9';
    const bool continues = digit && afterDigit;
    afterDigit = digit;
    if (continues) {
      chars.back().Number = std::min(NumberCap, chars.back().Number * 10 + (c - '0'));
    } else if (IsOpening(c)) {
      ++depth;
    } else if (IsClosing(c)) {
      depth = std::max(0, depth - 1);
    } else if (digit || RomanValue(c) > 0) {
      chars.push_back({NumberMark, depth > 0, digit ? c - '0' : RomanValue(c)});
    } else if (!IsDropped(c)) {
      chars.push_back({c, depth > 0});
    }
  }
  return WithoutMarkerWords(chars);
}

std::vector<uint32_t> BigramsOf(const std::vector<TChar>& chars, bool coreOnly) {
  std::vector<uint32_t> bigrams;
  bigrams.reserve(chars.size());
  uint32_t previous = StartMark;
  for (const TChar& c : chars) {
    if (coreOnly && c.Bracketed) continue;
    bigrams.push_back(previous << 16 | c.Code);
    previous = c.Code;
  }
  std::sort(bigrams.begin(), bigrams.end());
  return bigrams;
}

// Dice coefficient of two sorted multisets.
double Dice(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.empty() || b.empty()) return 0;
  size_t common = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] < b[j]) ++i;
    else if (b[j] < a[i]) ++j;
    else ++common, ++i, ++j;
  }
  return 2.0 * static_cast<double>(common) / static_cast<double>(a.size() + b.size());
}

// The best score two titles can reach given their sizes alone.
double Bound(size_t a, size_t b) { return a + b == 0 ? 0 : 2.0 * static_cast<double>(std::min(a, b)) / static_cast<double>(a + b); }

std::string_view WithoutLeadingZeros(std::string_view key) {
  while (key.size() > 1 && key.front() == '0') key.remove_prefix(1);
  return key;
}

}  // namespace

TTitleShape ShapeOfTitle(std::string_view title) {
  const std::vector<TChar> chars = Normalised(title);
  TTitleShape shape;
  shape.Bigrams = BigramsOf(chars, false);
  const size_t core = static_cast<size_t>(std::count_if(chars.begin(), chars.end(), [](const TChar& c) { return !c.Bracketed; }));
  // A core of one or two characters says too little to be compared alone.
  if (core >= 3 && core < chars.size()) shape.CoreBigrams = BigramsOf(chars, true);
  // The last number; one in brackets only when none stands outside them.
  for (const TChar& c : chars)
    if (c.Code == NumberMark && (!c.Bracketed || shape.Number < 0 || shape.NumberBracketed)) {
      shape.Number = c.Number;
      shape.NumberBracketed = c.Bracketed;
    }
  shape.Shaped = true;
  return shape;
}

double TitleSimilarity(const TTitleShape& a, const TTitleShape& b) {
  const double whole = Dice(a.Bigrams, b.Bigrams);
  // Without the brackets only when both have some: a title that merely
  // shares its words with another's brackets is not its next part.
  if (a.CoreBigrams.empty() || b.CoreBigrams.empty()) return whole;
  return std::max(whole, Dice(a.CoreBigrams, b.CoreBigrams));
}

bool ListedThreadOf(std::string_view line, TListedThread& thread) {
  const std::string_view key = SubjectLineKey(line);
  if (key.empty()) return false;
  thread.Key = key.substr(0, key.size() - 4);
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

std::vector<size_t> FindNextThreads(std::string_view oldKey, const TTitleShape& oldTitle,
                                    const std::vector<TListedThread>& threads, int fullAt,
                                    std::vector<TTitleShape>& shapes) {
  struct TScored {
    size_t Index;
    double Score;
    bool Successor;
  };
  shapes.resize(threads.size());
  std::vector<TScored> scored;
  for (size_t i = 0; i < threads.size(); ++i) {
    const TListedThread& thread = threads[i];
    if (!IsLaterKey(thread.Key, oldKey) || (fullAt > 0 && thread.Count >= fullAt)) continue;
    if (!shapes[i].Shaped) shapes[i] = ShapeOfTitle(thread.Title);
    const TTitleShape& shape = shapes[i];
    const bool cores = !oldTitle.CoreBigrams.empty() && !shape.CoreBigrams.empty();
    if (Bound(oldTitle.Bigrams.size(), shape.Bigrams.size()) < NextThreadThreshold &&
        (!cores || Bound(oldTitle.CoreBigrams.size(), shape.CoreBigrams.size()) < NextThreadThreshold))
      continue;
    const double score = TitleSimilarity(oldTitle, shape);
    if (score < NextThreadThreshold) continue;
    scored.push_back({i, score, oldTitle.Number >= 0 && shape.Number == oldTitle.Number + 1});
  }
  // The successor by number first, then the most similar; of equals, the
  // older thread (the first one made is the one readers move to).
  std::sort(scored.begin(), scored.end(), [&](const TScored& a, const TScored& b) {
    if (a.Successor != b.Successor) return a.Successor;
    if (a.Score != b.Score) return a.Score > b.Score;
    if (threads[a.Index].Key != threads[b.Index].Key) return IsLaterKey(threads[b.Index].Key, threads[a.Index].Key);
    return a.Index < b.Index;
  });
  std::vector<size_t> best;
  for (const TScored& s : scored) {
    if (best.size() >= static_cast<size_t>(MaxNextThreads)) break;
    // A server that lists a thread twice offers it once.
    const bool listed = std::any_of(best.begin(), best.end(), [&](size_t i) { return threads[i].Key == threads[s.Index].Key; });
    if (!listed) best.push_back(s.Index);
  }
  return best;
}

}  // namespace vek
