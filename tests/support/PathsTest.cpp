// Paths in the core's form, the cache names and the integer reading that the
// host browser's files rely on.
#include <gtest/gtest.h>

#include <string>

#include "support/Paths.h"
#include "support/funcs.h"

namespace vek {
namespace {

TEST(Funcs, StrToIntDefTakesOnlyWholeDecimalNumbers) {
  EXPECT_EQ(StrToIntDef("1234", -1), 1234);
  EXPECT_EQ(StrToIntDef("+12", -1), 12);
  EXPECT_EQ(StrToIntDef("-12", 0), -12);
  EXPECT_EQ(StrToIntDef("12a", -1), -1);
  EXPECT_EQ(StrToIntDef(" 12", -1), -1);
  EXPECT_EQ(StrToIntDef("+", -1), -1);
  EXPECT_EQ(StrToIntDef("+-1", 5), 5);
  EXPECT_EQ(StrToIntDef("99999999999", -1), -1);
}

TEST(Paths, FileNameAndExtensionSkipTrailBytes) {
  EXPECT_EQ(ExtractFileName("a\\b\\c.idx"), "c.idx");
  EXPECT_EQ(ExtractFileName("表"), "表");
  EXPECT_EQ(ChangeFileExt("a\\b\\1234.idx", ".dat"), "a\\b\\1234.dat");
  EXPECT_EQ(ChangeFileExt("a.b\\c", ".lst"), "a.b\\c.lst");
  EXPECT_EQ(ChangeFileExt("x.txt", ""), "x");
  EXPECT_EQ(EncodeCacheName("h:80/b"), "h%3A80%2Fb");
  EXPECT_EQ(DecodeCacheName("h%3A80%2Fb"), "h:80/b");
}

TEST(Paths, UnsafePathsAreRefused) {
  EXPECT_TRUE(IsSafeRelativePath("egg.5ch.net\\news\\1234567890.idx"));
  EXPECT_TRUE(IsSafeRelativePath("host\\表\\1.idx"));       // 95 5C is a character, not a separator
  EXPECT_TRUE(IsSafeRelativePath("a..b\\c"));
  EXPECT_FALSE(IsSafeRelativePath(""));
  EXPECT_FALSE(IsSafeRelativePath("\\windows\\x.idx"));
  EXPECT_FALSE(IsSafeRelativePath("/etc/passwd"));
  EXPECT_FALSE(IsSafeRelativePath("C:\\x.idx"));
  EXPECT_FALSE(IsSafeRelativePath("host\\..\\..\\x.idx"));
  EXPECT_FALSE(IsSafeRelativePath("../x.idx"));
  EXPECT_FALSE(IsSafeRelativePath("host\\\\x.idx"));
  EXPECT_FALSE(IsSafeRelativePath("host\\.\\x.idx"));
  EXPECT_FALSE(IsSafeRelativePath("host\\board\\"));
  EXPECT_FALSE(IsSafeRelativePath(std::string("a\0b", 3)));
  EXPECT_FALSE(IsSafeRelativePath("a\tb"));
}

TEST(Funcs, ReplaceAllReplacesEveryOccurrenceOnce) {
  std::string text = "a.cgi,b.cgi,.cgi";
  ReplaceAll(text, ".cgi,", ".dat<>");
  EXPECT_EQ(text, "a.dat<>b.dat<>.cgi");
  ReplaceAll(text, "<>", "<><>");  // the replacement is not searched again
  EXPECT_EQ(text, "a.dat<><>b.dat<><>.cgi");
}

}  // namespace
}  // namespace vek
