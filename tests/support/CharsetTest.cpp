// EUC-JP to Shift_JIS by way of JIS: the byte rules, and (on Linux) a
// cross-check of every JIS X 0208 character against the system's iconv.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "TestSupport.h"
#include "support/Charset.h"

#ifndef _WIN32
#include <iconv.h>
#endif

namespace vek {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string EucToSjis(std::string_view euc) { return JisToSjis(EucToJis(euc)); }

TEST(Charset, ByteClasses) {
  EXPECT_FALSE(IsEucLeadByte(0xA0));
  EXPECT_TRUE(IsEucLeadByte(0xA1));
  EXPECT_TRUE(IsEucLeadByte(0xFE));
  EXPECT_FALSE(IsEucLeadByte(0xFF));
  EXPECT_FALSE(IsEucLeadByte(0x8E));
  EXPECT_FALSE(IsKanaByte(0x9F));
  EXPECT_TRUE(IsKanaByte(0xA0));
  EXPECT_TRUE(IsKanaByte(0xDF));
  EXPECT_FALSE(IsKanaByte(0xE0));
  EXPECT_EQ(EucPairToJis(0xA4, 0xA2), Bytes({0x24, 0x22}));
  EXPECT_EQ(EucPairToJis(0xFE, 0xFE), Bytes({0x7E, 0x7E}));
}

TEST(Charset, HiraganaThenAsciiGoesThroughJisEscapes) {
  const std::string jis = EucToJis(Bytes({0xA4, 0xA2, 0x41}));
  EXPECT_EQ(jis, Bytes({0x1B, 0x24, 0x42, 0x24, 0x22, 0x1B, 0x28, 0x4A, 0x41}));
  EXPECT_EQ(JisToSjis(jis), Bytes({0x82, 0xA0, 0x41}));
}

TEST(Charset, HalfWidthKanaVanishWithoutEscapes) {
  EXPECT_EQ(EucToJis(Bytes({0x8E, 0xB1, 0x41})), "A");
  // Inside kanji mode a dropped kana does not switch back to ASCII.
  EXPECT_EQ(EucToJis(Bytes({0xA4, 0xA2, 0x8E, 0xB1, 0xA4, 0xA2})),
            Bytes({0x1B, 0x24, 0x42, 0x24, 0x22, 0x24, 0x22}));
  // 8E before a byte that is not kana is an ordinary byte.
  EXPECT_EQ(EucToJis(Bytes({0x8E, 0x41})), Bytes({0x8E, 0x41}));
  EXPECT_EQ(EucToJis(Bytes({0x41, 0x8E})), Bytes({0x41, 0x8E}));
}

TEST(Charset, TextEndingInKanjiHasNoClosingEscape) {
  const std::string jis = EucToJis(Bytes({0x41, 0xB0, 0xA1}));
  EXPECT_EQ(jis, Bytes({0x41, 0x1B, 0x24, 0x42, 0x30, 0x21}));
  EXPECT_EQ(JisToSjis(jis), Bytes({0x41, 0x88, 0x9F}));  // 亜
}

TEST(Charset, LeadByteAtTheEndIsCopiedAlone) {
  EXPECT_EQ(EucToJis(Bytes({0x41, 0xA4})), Bytes({0x41, 0xA4}));
  EXPECT_EQ(EucToSjis(Bytes({0x41, 0xA4})), Bytes({0x41, 0xA4}));
}

TEST(Charset, BoardListLineStructureSurvives) {
  // "1234567890.dat<>あ (5)" CR LF twice, in EUC-JP.
  const std::string euc = "1234567890.dat<>" + Bytes({0xA4, 0xA2}) + " (5)\r\n" + "1234567891.dat<>" +
                          Bytes({0xA4, 0xA2, 0xA4, 0xA4}) + "\r\n";
  EXPECT_EQ(EucToSjis(euc), "1234567890.dat<>あ (5)\r\n1234567891.dat<>あい\r\n");
}

TEST(Charset, BrokenTextKeepsTheListStructure) {
  // A stray ESC $ B in one title, a lead byte before " (5)" and one before the
  // line end: every other line, count and line end stays as it was.
  const std::string euc = "1234567890.dat<>" + Bytes({0x1B, 0x24, 0x42}) + " (3)\r\n1234567891.dat<>" +
                          Bytes({0xA4, 0xA2, 0xB0}) + " (5)\r\n1234567892.dat<>" + Bytes({0xA4}) + "\r\n";
  EXPECT_EQ(EucToSjis(euc), "1234567890.dat<>$B (3)\r\n1234567891.dat<>" + Bytes({0x82, 0xA0, 0xB0}) +
                                " (5)\r\n1234567892.dat<>" + Bytes({0xA4}) + "\r\n");
  // In JIS, a kanji byte whose partner is a line end is dropped, not paired.
  EXPECT_EQ(JisToSjis(Bytes({0x1B, 0x24, 0x42, 0x24, 0x22, 0x24, 0x0D, 0x0A, 0x24, 0x22})),
            Bytes({0x82, 0xA0, 0x0D, 0x0A, 0x82, 0xA0}));
}

TEST(Charset, JisArithmeticAtTheRowAndCellEdges) {
  EXPECT_EQ(JisPairToSjis(0x21, 0x21), Bytes({0x81, 0x40}));
  EXPECT_EQ(JisPairToSjis(0x21, 0x5F), Bytes({0x81, 0x7E}));
  EXPECT_EQ(JisPairToSjis(0x21, 0x60), Bytes({0x81, 0x80}));  // 7F is never a trail byte
  EXPECT_EQ(JisPairToSjis(0x21, 0x7E), Bytes({0x81, 0x9E}));
  EXPECT_EQ(JisPairToSjis(0x22, 0x21), Bytes({0x81, 0x9F}));
  EXPECT_EQ(JisPairToSjis(0x22, 0x7E), Bytes({0x81, 0xFC}));
  EXPECT_EQ(JisPairToSjis(0x5E, 0x7E), Bytes({0x9F, 0xFC}));
  EXPECT_EQ(JisPairToSjis(0x5F, 0x21), Bytes({0xE0, 0x40}));
  EXPECT_EQ(JisPairToSjis(0x74, 0x26), Bytes({0xEA, 0xA4}));  // 熙, the last JIS X 0208 kanji
  EXPECT_EQ(JisPairToSjis(0x7E, 0x7E), Bytes({0xEF, 0xFC}));
}

TEST(Charset, JisToSjisOddInput) {
  // A lone last byte in kanji mode is dropped.
  EXPECT_EQ(JisToSjis(Bytes({0x1B, 0x24, 0x42, 0x24, 0x22, 0x24})), Bytes({0x82, 0xA0}));
  // Unknown escapes and an escape cut off at the end are ordinary bytes.
  EXPECT_EQ(JisToSjis(Bytes({0x1B, 0x24, 0x40, 0x41})), Bytes({0x1B, 0x24, 0x40, 0x41}));
  EXPECT_EQ(JisToSjis(Bytes({0x41, 0x1B, 0x24})), Bytes({0x41, 0x1B, 0x24}));
  // ESC ( B returns to ASCII as ESC ( J does.
  EXPECT_EQ(JisToSjis(Bytes({0x1B, 0x24, 0x42, 0x30, 0x21, 0x1B, 0x28, 0x42, 0x41})), Bytes({0x88, 0x9F, 0x41}));
  // Text that carries its own ESC $ B keeps its line ends even in kanji mode.
  EXPECT_EQ(JisToSjis(Bytes({0x1B, 0x24, 0x42, 0x24, 0x22, 0x0D, 0x0A, 0x24, 0x22})),
            Bytes({0x82, 0xA0, 0x0D, 0x0A, 0x82, 0xA0}));
  EXPECT_EQ(JisPairToSjis(0x0D, 0x0A), Bytes({0x0D, 0x0A}));
  EXPECT_EQ(JisToSjis(""), "");
  EXPECT_EQ(EucToJis(""), "");
}

#ifndef _WIN32

// iconv from EUC-JP-MS to CP932 of one character; empty when iconv does not know it.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : Cd(iconv_open(to, from)) {}
  ~Iconv() {
    if (Cd != reinterpret_cast<iconv_t>(-1)) iconv_close(Cd);
  }
  bool Usable() const { return Cd != reinterpret_cast<iconv_t>(-1); }
  // Whole text; false when iconv refuses any of it.
  bool Convert(std::string_view in, std::string& out) {
    iconv(Cd, nullptr, nullptr, nullptr, nullptr);
    out.assign(in.size() * 2 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    size_t il = in.size();
    char* op = out.data();
    size_t ol = out.size();
    if (iconv(Cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return false;
    out.resize(out.size() - ol);
    return true;
  }

 private:
  iconv_t Cd;
};

// Every two-byte EUC-JP character that iconv knows converts to the bytes
// iconv gives, except where CP932 prefers another code for the same character
// (NEC row 13 duplicates of row 2) and the user-defined rows 85..94, which the
// arithmetic places 0x500 below CP932's user-defined area.
TEST(CharsetCrossCheck, EveryJisX0208CharacterMatchesIconv) {
  Iconv toCp932("CP932", "EUC-JP-MS");
  Iconv toUtf8("UTF-8", "CP932");
  ASSERT_TRUE(toCp932.Usable() && toUtf8.Usable());
  std::map<int, int> equalPerRow;
  std::set<std::string> row13Duplicates;
  int userDefined = 0;
  for (int b1 = 0xA1; b1 <= 0xFE; ++b1) {
    for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
      const std::string euc = Bytes({b1, b2});
      std::string expected;
      if (!toCp932.Convert(euc, expected)) continue;
      ASSERT_EQ(expected.size(), 2u);
      const std::string mine = EucToSjis(euc);
      ASSERT_EQ(mine.size(), 2u);
      const int row = b1 - 0xA0;
      if (mine == expected) {
        ++equalPerRow[row];
      } else if (row == 13) {
        std::string a, b;
        ASSERT_TRUE(toUtf8.Convert(mine, a) && toUtf8.Convert(expected, b));
        EXPECT_EQ(a, b) << "row 13 code must name the same character";
        row13Duplicates.insert(mine);
      } else if (row >= 85) {
        EXPECT_EQ(static_cast<unsigned char>(mine[0]) + 5, static_cast<unsigned char>(expected[0]));
        EXPECT_EQ(mine[1], expected[1]);
        ++userDefined;
      } else {
        ADD_FAILURE() << std::hex << "EUC " << b1 << " " << b2 << ": iconv " << testing::PrintToString(expected)
                      << ", ours " << testing::PrintToString(mine);
      }
    }
  }
  EXPECT_EQ(equalPerRow[1], 94);
  EXPECT_EQ(equalPerRow[4], 83);   // hiragana
  EXPECT_EQ(equalPerRow[5], 86);   // katakana
  EXPECT_EQ(equalPerRow[16], 94);  // first kanji row
  EXPECT_EQ(equalPerRow[84], 6);
  int equal = 0;
  for (const auto& [row, count] : equalPerRow) equal += count;
  EXPECT_GT(equal, 6800);
  // ≒ ≡ ∫ √ ⊥ ∠ ∵ ∩ ∪: CP932 round-trips them through row 2.
  EXPECT_EQ(row13Duplicates, (std::set<std::string>{"\x87\x90", "\x87\x91", "\x87\x92", "\x87\x95", "\x87\x96",
                                                     "\x87\x97", "\x87\x9a", "\x87\x9b", "\x87\x9c"}));
  EXPECT_EQ(userDefined, 940);
}

TEST(CharsetCrossCheck, NecRowThirteenSymbols) {
  Iconv toCp932("CP932", "EUC-JP-MS");
  ASSERT_TRUE(toCp932.Usable());
  // ① is EUC AD A1 and CP932 87 40; Ⅰ is AD B5 / 87 54; ㍉ is AD C0 / 87 5F.
  EXPECT_EQ(EucToSjis(Bytes({0xAD, 0xA1})), Bytes({0x87, 0x40}));
  EXPECT_EQ(EucToSjis(Bytes({0xAD, 0xB5})), Bytes({0x87, 0x54}));
  EXPECT_EQ(EucToSjis(Bytes({0xAD, 0xC0})), Bytes({0x87, 0x5F}));
  int known = 0;
  for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
    std::string expected;
    if (!toCp932.Convert(Bytes({0xAD, b2}), expected)) continue;
    ++known;
    EXPECT_EQ(static_cast<unsigned char>(EucToSjis(Bytes({0xAD, b2}))[0]), 0x87);
  }
  EXPECT_EQ(known, 83);
}

std::string WithoutHalfWidthKana(std::string_view sjis) {
  std::string out;
  for (size_t i = 0; i < sjis.size(); ++i) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < sjis.size()) {
      out.append(sjis.substr(i, 2));
      ++i;
    } else if (c < 0xA1 || c > 0xDF) {
      out.push_back(sjis[i]);
    }
  }
  return out;
}

// The IBM extension codes of CP932 (FA40...) go to EUC-JP as the NEC row 13
// or row 2 codes of the same character, and come back as those; everything
// else comes back byte for byte, half-width kana aside.
TEST(CharsetCrossCheck, RealBoardListsRoundTripThroughEucJp) {
  Iconv toEuc("EUC-JP-MS", "CP932");
  Iconv toUtf8("UTF-8", "CP932");
  ASSERT_TRUE(toEuc.Usable() && toUtf8.Usable());
  int ibmCodes = 0;
  for (const char* name : {"subject-a.txt", "subject-b.txt"}) {
    const std::string original = test::RealFixture(name);
    ASSERT_FALSE(original.empty()) << name;
    std::string euc;
    ASSERT_TRUE(toEuc.Convert(original, euc)) << name;
    const std::string back = EucToSjis(euc);
    const std::string expected = WithoutHalfWidthKana(original);
    ASSERT_EQ(back.size(), expected.size()) << name;
    for (size_t i = 0; i < expected.size(); ++i) {
      const auto c = static_cast<unsigned char>(expected[i]);
      const bool twoBytes = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < expected.size();
      const size_t width = twoBytes ? 2 : 1;
      const std::string want = expected.substr(i, width), got = back.substr(i, width);
      if (want != got) {
        EXPECT_TRUE(c >= 0xED) << name << " at " << i << ": " << testing::PrintToString(want) << " came back as "
                               << testing::PrintToString(got);
        std::string a, b;
        ASSERT_TRUE(toUtf8.Convert(want, a) && toUtf8.Convert(got, b));
        EXPECT_EQ(a, b) << name << " at " << i;
        ++ibmCodes;
      }
      i += width - 1;
    }
  }
  EXPECT_LT(ibmCodes, 20);
  // subject-a.txt holds half-width kana, so the comparison above removes something.
  EXPECT_LT(WithoutHalfWidthKana(test::RealFixture("subject-a.txt")).size(), test::RealFixture("subject-a.txt").size());
}

#endif  // _WIN32

}  // namespace
}  // namespace vek
