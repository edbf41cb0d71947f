// Whole-text line/field reader and growing output buffer.
#include "support/BuffStr.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Files.h"

namespace vek {
namespace {

// First byte in [p, end) that is CR, LF or NUL; end when there is none.
// Lines are short and files are large, so the scan goes 16 bytes at a time
// where the processor allows it and falls back to a plain loop elsewhere.
const char* FindLineBreak(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i nul = _mm_setzero_si128();
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                                     _mm_cmpeq_epi8(v, nul));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\r' || c == '\n' || c == 0) return p;
    ++p;
  }
  return end;
}

int32_t CheckedLength(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw std::length_error("text too long for a reader");
  return static_cast<int32_t>(size);
}

}  // namespace

// --- TStringReader ----------------------------------------------------------

TStringReader::TStringReader(std::string text) : Text_(std::move(text)) { CheckedLength(Text_.size()); }

void TStringReader::LoadFromFile(const std::string& fileName) { SetText(platform::ReadWholeFile(fileName)); }

void TStringReader::LoadFromStream(std::string_view bytes) { SetText(std::string(bytes)); }

void TStringReader::SetText(std::string text) {
  CheckedLength(text.size());
  Text_ = std::move(text);
  Position = 0;
}

// A position outside the text reads as the terminating NUL, so a caller that
// moved Position by hand can never make the reader touch foreign memory.
bool TStringReader::Eof() const {
  return Position < 0 || static_cast<size_t>(Position) >= Text_.size() || Text_[static_cast<size_t>(Position)] == 0;
}

char TStringReader::ReadChar() {
  if (Eof()) return 0;
  return Text_[static_cast<size_t>(Position++)];
}

std::string_view TStringReader::ReadLineView() {
  if (Eof()) return {};
  const char* base = Text_.data();
  const char* end = base + Text_.size();
  const char* start = base + Position;
  const char* p = FindLineBreak(start, end);
  std::string_view line(start, static_cast<size_t>(p - start));
  if (p < end && *p == '\r') ++p;
  if (p < end && *p == '\n') ++p;
  Position = static_cast<int32_t>(p - base);
  return line;
}

std::string TStringReader::ReadLine() { return std::string(ReadLineView()); }

std::string TStringReader::CopyRange(int32_t start, int32_t count) const {
  if (start < 0) start = 0;
  if (count <= 0 || static_cast<size_t>(start) >= Text_.size()) return {};
  return Text_.substr(static_cast<size_t>(start), static_cast<size_t>(count));
}

std::string TStringReader::ReadField(bool& endFlag) {
  if (Eof()) {
    endFlag = true;
    return {};
  }
  const size_t start = static_cast<size_t>(Position);
  const char* base = Text_.data();
  const char* end = base + Text_.size();
  // The field runs to the next TAB or to the first NUL (the end of the text).
  const char* p = base + start;
  while (p < end && *p != '\t' && *p != 0) ++p;
  if (p == end || *p == 0) {
    endFlag = true;
    Position = static_cast<int32_t>(p - base);
    return std::string(base + start, p);
  }
  endFlag = false;
  Position = static_cast<int32_t>(p - base + 1);
  return std::string(base + start, p);
}

std::string ReadField(TStringReader& reader, bool& endFlag) { return reader.ReadField(endFlag); }

// --- TStringWriter ----------------------------------------------------------

TStringWriter::TStringWriter(int32_t capacity) { Clear(capacity); }

void TStringWriter::Clear(int32_t capacity) {
  Buffer.resize(static_cast<size_t>(capacity < 0 ? 0 : capacity));
  Count = 0;
}

void TStringWriter::Grow(int64_t need) {
  const int64_t capacity = need + need / 4 + 1024;
  if (capacity > std::numeric_limits<int32_t>::max()) throw std::length_error("writer buffer too large");
  Buffer.resize(static_cast<size_t>(capacity));
}

void TStringWriter::Write(std::string_view text) {
  if (text.empty()) return;
  const int64_t need = static_cast<int64_t>(Count) + static_cast<int64_t>(text.size());
  if (need > Capacity()) Grow(need);
  std::memcpy(Buffer.data() + Count, text.data(), text.size());
  Count = static_cast<int32_t>(need);
}

void TStringWriter::WriteChar(char c) {
  if (Count + int64_t{1} > Capacity()) Grow(Count + int64_t{1});
  Buffer[static_cast<size_t>(Count++)] = c;
}

void TStringWriter::WriteLine(std::string_view text) {
  Write(text);
  WriteChar('\r');
  WriteChar('\n');
}

std::string TStringWriter::GetText() const { return std::string(View()); }

void TStringWriter::SaveToFile(const std::string& fileName) const {
  platform::ReplaceFileAtomically(fileName, View());
}

}  // namespace vek
