// One board's thread list: downloaded through the run's THttpGet, brought into
// the primary network's line format, checked and stored sorted in the subject
// cache. Also the small helpers that the run uses around each fetch.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Env.h"
#include "platform/Http.h"
#include "support/StringList.h"

namespace vek {

class THttpGet;

// Seconds without a byte before a download is given up (the setting
// TimeOutTime, which defaults to this).
inline constexpr int DefaultTimeOutTime = 15;
// Seconds a whole download may take, however steadily it trickles in: a
// server sending a byte every few seconds never trips the inactivity limit.
inline constexpr int DefaultBoardTimeLimit = 60;
// Milliseconds between two pumps of the window while a download runs; the
// wait ends at once when the download does.
inline constexpr uint32_t FetchPumpInterval = 10;

// What a fetch needs from the settings.
struct TFetchSettings {
  std::string Proxy;
  int TimeOutTime = DefaultTimeOutTime;
  int BoardTimeLimit = DefaultBoardTimeLimit;  // the tests shorten it
  bool ExternalCheck = true;
  std::vector<std::string> RentalDomains;     // the EUC-JP rental service's domains
  std::string RentalOldHost;                  // its www host with the three-field form; empty: none
  // Asks for a board's list only if it changed since the cached one came
  // (the validators the server sent with it, kept beside the cache).
  bool ConditionalGet = false;
};

// The validators file beside a board's cache file ("subject\{cache name}" + this).
inline constexpr const char* ValidatorsFileExtension = ".http";

std::string EntryUrl(std::string_view subjectListLine);
std::string ServerPart(std::string_view lineOrUrl);
int MaxBoardsPerHost(TStringList& subjectList, const TStringList& banList);
// Cache file name (without directory and ".txt") of a board URL; empty when
// the name would be unsafe (it could leave the subject directory).
std::string SubjectCacheName(std::string_view url);

// The rental service's old www host sends "id_x<>title<>count" lines; each
// becomes "key1.dat<>title (count)", the key being the digits before "_" with
// a leading "1" dropped. Blank lines are left out.
std::string ReformatOldHost(std::string text);
// A downloaded list body in the primary network's line format: CR LF line
// ends (the text ends at a NUL byte), the rental service's EUC-JP brought to
// Shift_JIS, its old host's lines reformatted, the comma forms ".cgi," and
// ".dat," written as ".dat<>".
std::string SubjectBodyText(const std::string& response, bool rental, bool oldHost);

// The validators file's text and back: "Last-Modified: " and "ETag: " lines,
// each value as the server sent it; a value with a control character is none.
std::string ValidatorsText(const platform::THttpValidators& validators);
platform::THttpValidators ParseValidators(std::string_view text);

// Downloads one board's list and stores it in the subject cache directory
// cacheDir (ending in "\"); env's clock measures the time-outs.
// pump keeps the window alive while waiting. False for every kind of failure;
// the previous cache file then stays. True also when the server said that
// the cached list is still current (with ConditionalGet); *notModified then
// says so.
bool FetchSubject(THttpGet& getter, const TFetchSettings& settings, const std::string& cacheDir, platform::TEnv& env,
                  const std::function<void()>& pump, const std::string& url, bool* notModified = nullptr);

}  // namespace vek
