// Whole-text line and field reading, and a growing byte buffer for output.
// Both work on raw bytes (code page 932): no conversion, trimming or line-end
// translation happens here.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

// Holds one whole text and hands it out line by line, field by field or byte
// by byte. The text counts as ending at its first NUL byte.
class TStringReader {
 public:
  TStringReader() = default;
  explicit TStringReader(std::string text);

  void LoadFromFile(const std::string& fileName);  // throws FileError
  void LoadFromStream(std::string_view bytes);      // the stream's remaining bytes
  void SetText(std::string text);

  bool Eof() const;
  char ReadChar();
  std::string ReadLine();                      // CR LF, CR or LF end a line
  std::string_view ReadLineView();             // the same, without a copy; valid until the text changes
  std::string CopyRange(int32_t start, int32_t count) const;
  std::string ReadField(bool& endFlag);        // up to the next TAB or the end

  const std::string& Text() const { return Text_; }
  int32_t Position = 0;

 private:
  std::string Text_;
};

// Collects output in a buffer that grows by a quarter plus 1 KB and writes it
// out in one piece. Lines end in CR LF.
class TStringWriter {
 public:
  static constexpr int32_t DefaultCapacity = 65536;
  explicit TStringWriter(int32_t capacity = DefaultCapacity);

  void Clear(int32_t capacity = DefaultCapacity);
  void Write(std::string_view text);
  void WriteChar(char c);
  void WriteLine(std::string_view text);
  std::string GetText() const;
  std::string_view View() const { return std::string_view(Buffer.data(), static_cast<size_t>(Count)); }
  // Replaces the file atomically with the text written so far. Throws FileError.
  void SaveToFile(const std::string& fileName) const;

  int32_t Capacity() const { return static_cast<int32_t>(Buffer.size()); }
  int32_t Count = 0;

 private:
  void Grow(int64_t need);
  std::string Buffer;
};

// Reads the next TAB-separated field of the reader (the free function form).
std::string ReadField(TStringReader& reader, bool& endFlag);

}  // namespace vek
