// The helpers the run uses around each fetch: board URL, host part, skip
// test, busiest-host count and the cache file name.
#include <gtest/gtest.h>

#include "fetch/SubjectFetch.h"

namespace vek {
namespace {

TStringList ListOf(std::initializer_list<const char*> lines) {
  TStringList list;
  for (const char* line : lines) list.Add(line);
  return list;
}

TEST(SubjectHelpersTest, EntryUrlIsTheLineBeforeItsFirstEquals) {
  EXPECT_EQ(EntryUrl("http://srv/news/subject.txt=3"), "http://srv/news/subject.txt");
  EXPECT_EQ(EntryUrl("http://srv/news/subject.txt"), "http://srv/news/subject.txt");
  EXPECT_EQ(EntryUrl("http://srv/a=b/subject.txt=3"), "http://srv/a");
  EXPECT_EQ(EntryUrl("=3"), "");
}

TEST(SubjectHelpersTest, ServerPartIsEverythingBeforeTheBoardDirectory) {
  EXPECT_EQ(ServerPart("http://srv/news/subject.txt=3"), "srv");
  EXPECT_EQ(ServerPart("http://srv/cat/123/subject.txt"), "srv/cat");
  EXPECT_EQ(ServerPart("http://srv:8080/news/subject.txt"), "srv:8080");
  EXPECT_EQ(ServerPart("nothing here"), "");
  EXPECT_EQ(ServerPart("http://srv/subject.txt"), "");
  // Only the first "http://" and the first "/subject.txt" go.
  EXPECT_EQ(ServerPart("http://a/http://b/subject.txt/subject.txt"), "a/http://b");
}

TEST(SubjectHelpersTest, ContainsAnyOfIsACaseSensitiveSubstringTest) {
  TStringList ban = ListOf({"", "example.net", "Sports"});
  EXPECT_TRUE(ContainsAnyOf("http://x.example.net/news/subject.txt=1", ban));
  EXPECT_TRUE(ContainsAnyOf("http://srv/Sports/subject.txt", ban));
  EXPECT_FALSE(ContainsAnyOf("http://srv/sports/subject.txt", ban));
  EXPECT_FALSE(ContainsAnyOf("http://srv/news/subject.txt", ListOf({""})));
  EXPECT_FALSE(ContainsAnyOf("anything", TStringList()));
}

TEST(SubjectHelpersTest, MaxBoardsPerHostCountsTheBusiestHostNotBanned) {
  TStringList subjects;
  for (int i = 0; i < 12; ++i) subjects.Add("http://big/b" + std::to_string(i) + "/subject.txt=1");
  for (int i = 0; i < 4; ++i) subjects.Add("http://small/s" + std::to_string(i) + "/subject.txt=2");
  subjects.Add("http://big/b0/subject.txt=1");  // an unsorted list may repeat a board

  TStringList copy = subjects;
  EXPECT_EQ(MaxBoardsPerHost(copy, TStringList()), 13);
  for (int i = 1; i < copy.Count(); ++i) EXPECT_LE(copy[i - 1], copy[i]);  // sorted in place

  copy = subjects;
  EXPECT_EQ(MaxBoardsPerHost(copy, ListOf({"big"})), 4);
  // A ban line that matches only a board directory does not stop its host counting.
  copy = subjects;
  EXPECT_EQ(MaxBoardsPerHost(copy, ListOf({"b3"})), 13);

  TStringList empty;
  EXPECT_EQ(MaxBoardsPerHost(empty, TStringList()), 0);
}

TEST(SubjectHelpersTest, MaxBoardsPerHostComparesHostPartsExactly) {
  // Sorting without regard to case brings "A" and "a" hosts together but they
  // are different host parts, counted separately.
  TStringList subjects = ListOf({"http://a/1/subject.txt", "http://B/1/subject.txt", "http://b/2/subject.txt",
                                 "http://b/3/subject.txt", "http://a/2/subject.txt"});
  EXPECT_EQ(MaxBoardsPerHost(subjects, TStringList()), 2);
}

TEST(SubjectHelpersTest, CacheNameEncodesSlashesAndColons) {
  EXPECT_EQ(SubjectCacheName("http://srv:8080/news/subject.txt"), "srv%3A8080%2Fnews");
  EXPECT_EQ(SubjectCacheName("http://srv/cat/123/subject.txt"), "srv%2Fcat%2F123");
  EXPECT_EQ(SubjectCacheName("https://srv/news/subject.txt"), "https%3A%2F%2Fsrv%2Fnews");
}

TEST(SubjectHelpersTest, CacheNameThatCouldLeaveTheDirectoryIsRefused) {
  EXPECT_EQ(SubjectCacheName("http://srv/a\\..\\..\\evil/subject.txt"), "");
  EXPECT_EQ(SubjectCacheName("http://srv/a\\b/subject.txt"), "");
  EXPECT_EQ(SubjectCacheName("http://../subject.txt"), "");
  EXPECT_EQ(SubjectCacheName("http://srv/../x/subject.txt"), "");
  EXPECT_EQ(SubjectCacheName(std::string("http://srv/a\0b/subject.txt", 27)), "");
  EXPECT_EQ(SubjectCacheName("http:///subject.txt"), "");
  // A Japanese board name whose trail byte is 0x5C is one character, not a separator.
  EXPECT_EQ(SubjectCacheName("http://srv/\x95\x5C/subject.txt"), "srv%2F\x95\x5C");
}

}  // namespace
}  // namespace vek
