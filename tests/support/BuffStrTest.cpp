// The line/field reader and the output buffer: line ends, NUL ends, growth, files.
#include "support/BuffStr.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TestSupport.h"
#include "platform/FileError.h"

namespace vek {
namespace {

std::vector<std::string> AllLines(TStringReader& reader) {
  std::vector<std::string> lines;
  while (!reader.Eof()) lines.push_back(reader.ReadLine());
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TStringReader, EachLineEndEndsOneLine) {
  for (const char* text : {"a\r\nb", "a\rb", "a\nb", "a\r\nb\r\n"}) {
    TStringReader reader(text);
    EXPECT_EQ(AllLines(reader), (Lines{"a", "b"})) << "text: " << testing::PrintToString(std::string(text));
    EXPECT_TRUE(reader.Eof());
    EXPECT_EQ(reader.ReadLine(), "");
  }
  TStringReader lfcr("a\n\rb");
  EXPECT_EQ(AllLines(lfcr), (Lines{"a", "", "b"}));
  TStringReader blank("\r\n\r\nx");
  EXPECT_EQ(AllLines(blank), (Lines{"", "", "x"}));
}

TEST(TStringReader, EmptyTextIsAtTheEndAtOnce) {
  TStringReader reader;
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.ReadLine(), "");
  EXPECT_EQ(reader.ReadChar(), 0);
  EXPECT_EQ(reader.Position, 0);
}

TEST(TStringReader, NulByteEndsTheText) {
  TStringReader reader(std::string("ab\0cd\r\n", 7));
  EXPECT_EQ(reader.ReadLine(), "ab");
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.Position, 2);
  EXPECT_EQ(reader.ReadLine(), "");
  EXPECT_EQ(reader.ReadChar(), 0);
  EXPECT_EQ(reader.Position, 2) << "reading must never pass the NUL";
  EXPECT_EQ(reader.CopyRange(3, 2), "cd");
}

TEST(TStringReader, PositionOutsideTheTextReadsAsEnd) {
  TStringReader reader("abc");
  reader.Position = 10;
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.ReadLine(), "");
  EXPECT_EQ(reader.ReadChar(), 0);
  reader.Position = -5;
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.ReadLineView(), "");
}

// Line ends at every offset around the 16-byte scanning blocks, checked
// against a plain byte-by-byte splitter.
TEST(TStringReader, ReadLineAgreesWithAByteSplitterOnRandomText) {
  std::mt19937 rng(12345);
  const char alphabet[] = {'a', '\r', '\n', '\t', '\x95', '\x5c', ' ', 'z'};
  for (int round = 0; round < 200; ++round) {
    std::string text(rng() % 90, 'x');
    for (char& c : text) c = (rng() % 4 == 0) ? alphabet[rng() % 8] : static_cast<char>('A' + rng() % 26);
    Lines expected;
    size_t i = 0;
    while (i < text.size()) {
      size_t j = i;
      while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
      expected.push_back(text.substr(i, j - i));
      if (j < text.size() && text[j] == '\r') ++j;
      if (j < text.size() && text[j] == '\n') ++j;
      i = j;
    }
    TStringReader reader(text);
    Lines viewLines;
    TStringReader viewReader(text);
    while (!viewReader.Eof()) viewLines.emplace_back(viewReader.ReadLineView());
    EXPECT_EQ(AllLines(reader), expected) << testing::PrintToString(text);
    EXPECT_EQ(viewLines, expected);
  }
}

TEST(TStringReader, ReadsARealBoardListLineByLine) {
  const std::string text = test::RealFixture("subject-a.txt");
  ASSERT_FALSE(text.empty());
  TStringReader reader(text);
  Lines lines = AllLines(reader);
  ASSERT_EQ(lines.size(), 714u);
  size_t total = 0;
  for (const std::string& line : lines) {
    EXPECT_NE(line.find(".dat<>"), std::string::npos) << line;
    total += line.size() + 1;
  }
  EXPECT_EQ(total, text.size()) << "every byte but the LF ends must be in a line";
}

TEST(TStringReader, ReadCharAndCopyRange) {
  TStringReader reader("xy");
  EXPECT_EQ(reader.ReadChar(), 'x');
  EXPECT_EQ(reader.ReadChar(), 'y');
  EXPECT_EQ(reader.ReadChar(), 0);
  EXPECT_EQ(reader.Position, 2);
  EXPECT_EQ(reader.CopyRange(1, 100), "y");
  EXPECT_EQ(reader.CopyRange(2, 1), "");
  EXPECT_EQ(reader.CopyRange(0, 0), "");
  EXPECT_EQ(reader.CopyRange(0, -1), "");
  EXPECT_EQ(reader.Position, 2);
}

TEST(TStringReader, SetTextAndLoadResetThePosition) {
  TStringReader reader("abc\r\n");
  reader.ReadLine();
  reader.SetText("de");
  EXPECT_EQ(reader.Position, 0);
  EXPECT_EQ(reader.ReadLine(), "de");
  reader.LoadFromStream("f\ng");
  EXPECT_EQ(reader.Position, 0);
  EXPECT_EQ(AllLines(reader), (Lines{"f", "g"}));
}

TEST(ReadField, SplitsAtTabsOnly) {
  bool end = false;
  TStringReader ab("a\tb");
  EXPECT_EQ(ReadField(ab, end), "a");
  EXPECT_FALSE(end);
  EXPECT_EQ(ReadField(ab, end), "b");
  EXPECT_TRUE(end);

  TStringReader trailing("a\t");
  EXPECT_EQ(ReadField(trailing, end), "a");
  EXPECT_FALSE(end);
  EXPECT_EQ(ReadField(trailing, end), "");
  EXPECT_TRUE(end);

  TStringReader lineEnds("a\r\nb\tc");
  EXPECT_EQ(lineEnds.ReadField(end), "a\r\nb");
  EXPECT_FALSE(end);
  EXPECT_EQ(lineEnds.ReadField(end), "c");
  EXPECT_TRUE(end);

  TStringReader nul(std::string("a\0\tb", 4));
  EXPECT_EQ(ReadField(nul, end), "a");
  EXPECT_TRUE(end) << "a NUL ends the last field";
}

TEST(ReadField, TwentyOneFieldsOfAnIndexRecord) {
  std::string record;
  for (int i = 0; i < 21; ++i) {
    if (i > 0) record += '\t';
    record += std::to_string(i * 7);
  }
  TStringReader reader(record);
  bool end = false;
  int n = 0;
  do {
    EXPECT_EQ(reader.ReadField(end), std::to_string(n * 7));
    ++n;
  } while (!end);
  EXPECT_EQ(n, 21);
}

TEST(TStringWriter, WritesLinesWithCrLf) {
  TStringWriter writer;
  EXPECT_EQ(writer.GetText(), "");
  EXPECT_EQ(writer.Capacity(), 65536);
  writer.Write("");
  EXPECT_EQ(writer.Count, 0);
  writer.WriteLine("");
  writer.WriteLine("表");
  writer.WriteChar('x');
  EXPECT_EQ(writer.GetText(), "\r\n\x95\x5c\r\nx");
  EXPECT_EQ(writer.View(), writer.GetText());
}

TEST(TStringWriter, GrowsByAQuarterPlusOneKilobyteKeepingTheBytes) {
  TStringWriter writer;
  std::string data(65537, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 % 251);
  writer.Write(data);
  EXPECT_EQ(writer.Capacity(), 82945);
  EXPECT_EQ(writer.GetText(), data);

  TStringWriter small(4);
  small.Write("abcd");
  EXPECT_EQ(small.Capacity(), 4);
  small.WriteChar('e');
  EXPECT_EQ(small.Capacity(), 5 + 1 + 1024);
  EXPECT_EQ(small.GetText(), "abcde");

  small.Clear(10);
  EXPECT_EQ(small.Capacity(), 10);
  EXPECT_EQ(small.Count, 0);
  EXPECT_EQ(small.GetText(), "");
}

TEST(TStringWriter, SavedFileLoadsBackByteForByte) {
  test::TempDir dir;
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  TStringWriter writer(16);
  writer.WriteLine("1234567890.dat<>表示テスト (12)");
  writer.Write(all);
  const std::string path = dir / "out.txt";
  test::WriteFile(path, std::string(200000, 'o'));  // longer than the new text
  writer.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), writer.GetText()) << "an old, longer file must not leave its tail";

  TStringReader reader;
  reader.LoadFromFile(path);
  EXPECT_EQ(reader.Text(), writer.GetText());
  EXPECT_EQ(reader.ReadLine(), "1234567890.dat<>\x95\x5c\x8e\xa6\x83\x65\x83\x58\x83\x67 (12)");
}

TEST(TStringReaderAndWriter, FileTroubleIsAFileErrorWithTheName) {
  test::TempDir dir;
  const std::string missing = dir / "no-such.txt";
  TStringReader reader;
  try {
    reader.LoadFromFile(missing);
    FAIL() << "no error for a missing file";
  } catch (const FileError& e) {
    EXPECT_NE(e.FileName.find("no-such.txt"), std::string::npos);
  }
  TStringWriter writer;
  writer.Write("x");
  EXPECT_THROW(writer.SaveToFile(dir / "no-dir\\out.txt"), FileError);
  EXPECT_FALSE(test::Exists(dir / "no-dir"));
}

}  // namespace
}  // namespace vek
