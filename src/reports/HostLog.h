// The host browser's files as the tool reads and writes them: thread list
// files, thread index records (report form and rewritten form), the fallen
// mark, index items, thread log lines (time stamp, comma escape, links, thread
// URLs), the report boards' index record and the snapshot files of the subject
// cache. Plain functions over paths and code page 932 strings.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "support/Paths.h"
#include "support/funcs.h"

namespace vek {

// --- thread list files ---------------------------------------------------------

// Every line of the file, in file order, as a thread path. Throws FileError.
std::vector<std::string> ReadThreadListFile(const std::string& fileName);

// --- thread index files --------------------------------------------------------

constexpr int IndexFieldCount = 21;
using TIndexFields = std::array<std::string, IndexFieldCount>;

// Field numbers the tool reads or writes.
enum TIndexField : int {
  FlagsField = 1,
  TitleField = 3,
  HostField = 4,
  BoardField = 5,
  KeyField = 6,
  ServerCountField = 7,
  LocalCountField = 8,
  NewMarkField = 9,
  TimeField = 10,
};

// The "fallen from its board" bit of field 1.
constexpr int FallenFlag = 0x10;
// Field 1 that is not a number counts as 32 (the flags of an ordinary open
// thread) when the fallen mark is set, so it becomes "48", not "16".
constexpr int UnreadableFlags = 32;
// Field 8 (the local count) that is not a number counts as 1002, past the
// 1001 responses of a full thread: only a larger server count is news.
constexpr int UnreadableLocalCount = 1002;

// An index file: the record of its first line and the lines after it.
struct TIndexRecord {
  TIndexFields Fields;
  std::vector<std::string> FurtherLines;
};

// Fields 0 to 20 of the first line (missing ones empty, anything after field
// 20 dropped) and the further lines; both serialisations read alike.
TIndexRecord ParseIndexRecord(std::string_view fileText);
TIndexRecord ReadIndexRecord(const std::string& fileName);  // throws FileError

// Field 1 of the first line as an integer, fallback when it is not a number.
int ParseIndexFlags(std::string_view fileText, int fallback);
int ReadIndexFlags(const std::string& fileName, int fallback);  // throws FileError

// Rewritten form: fields 0 to 20 joined by TAB (20 TABs, none at the end).
std::string RewrittenRecordLine(const TIndexFields& fields);
// The whole file as a record rewrite leaves it: the rewritten line and every
// further line, each followed by CR LF.
std::string RewrittenIndexText(const TIndexRecord& record);
// Writes RewrittenIndexText atomically unless the file already holds exactly
// those bytes. True when the file was written. Throws FileError.
bool WriteIndexRecord(const std::string& fileName, const TIndexRecord& record);

// Report form: each of the 21 fields followed by a TAB, no line end.
std::string ReportFormRecord(const TIndexFields& fields);
void WriteReportIndex(const std::string& fileName, const TIndexFields& fields);  // throws FileError

// The fallen mark: field 1 gets bit 16 (an unreadable field counts as 32, so
// it becomes "48"), the rest of the first line stays byte for byte, further
// lines are dropped, CR LF ends the one line.
std::string FallenMarkedText(std::string_view fileText);
// Applies it to the file; the file is not written when nothing changes.
// True when written. Throws FileError.
bool MarkIndexFallen(const std::string& fileName);

// Item n (from 0) of an index file: the whole text with every TAB as a line
// break, then line n. False when the text has no line n.
bool IndexItemOf(std::string_view fileText, int n, std::string& item);

// --- thread log lines ------------------------------------------------------------

// "yyyy/mm/dd hh:nn:ss"
std::string TimeStamp(const platform::SystemTime& local);
// Every "," as "＠｀".
std::string EscapeCommas(std::string_view text);
// <a href="url" target="_blank">url</a>
std::string MakeLink(std::string_view url);
// http://{host path}/test/read.cgi/{board}/{key}/ from {host path}\{board}\{key}.idx
std::string ThreadUrlOfPath(std::string_view threadPath);
// From a cache file name such as host%2Fboard.txt: "http://host/test/read.cgi/board/"
// and "http://host/board/".
std::string ThreadUrlPrefixOfCacheName(std::string_view cacheFileName);
std::string BoardUrlOfCacheName(std::string_view cacheFileName);

// --- snapshot files ------------------------------------------------------------------

// subject\x.txt -> subject\x.lst
std::string SnapshotFileName(std::string_view cacheFileName);
// One line per cache line: its text before the first "<>", each with CR LF.
std::string SnapshotText(std::string_view cacheText);
// snapshotText == SnapshotText(cacheText), without building the latter.
bool IsSnapshotOf(std::string_view snapshotText, std::string_view cacheText);
// Reads the cache file and replaces its snapshot file (left alone when it
// already holds those bytes). Throws FileError.
void WriteSnapshotFile(const std::string& cacheFileName);
// Replaces the snapshot file with the text unless it holds it already; true
// when written.
bool WriteSnapshotText(const std::string& snapshotFileName, std::string_view text);

// The thread key of a subject line: the text before its first "<>" when it
// names a thread, a number and ".dat" (1234567890.dat, the extension in any
// letter case); an empty text otherwise. A line whose key is anything else
// names no thread: no report, count or snapshot takes it, whatever the
// server wrote there (the key becomes part of a link).
std::string_view SubjectLineKey(std::string_view line);
bool IsThreadKey(std::string_view key);

}  // namespace vek
