// One board's fetch and the small helpers around it: the URL and host part of
// a board line, the skip test and the busiest-host count.
#include "fetch/SubjectFetch.h"

#include <algorithm>
#include <cstdint>

#include "fetch/OldHttpGet.h"
#include "platform/Files.h"
#include "support/BuffStr.h"
#include "support/Charset.h"
#include "support/Paths.h"
#include "support/SjisText.h"
#include "support/Version.h"
#include "support/funcs.h"

namespace vek {

namespace {


bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

void EraseFirst(std::string& text, std::string_view part) {
  size_t at = text.find(part);
  if (at != std::string::npos) text.erase(at, part.size());
}

// Every line end becomes CR LF, a last line without one gets it, and the
// text ends at a NUL byte.
std::string NormaliseLineEnds(const std::string& body) {
  TStringReader reader(body);
  TStringWriter writer(static_cast<int32_t>(std::min<size_t>(body.size() + body.size() / 16 + 16, INT32_MAX / 2)));
  while (!reader.Eof()) writer.WriteLine(reader.ReadLineView());
  return writer.GetText();
}

}  // namespace

std::string ReformatOldHost(std::string text) {
  ReplaceAll(text, "<>", "\t");
  TStringReader reader(std::move(text));
  TStringWriter writer(static_cast<int32_t>(std::min<size_t>(reader.Text().size() + 16, INT32_MAX / 2)));
  while (!reader.Eof()) {
    TStringReader line(reader.ReadLine());
    // A blank line has no identifier to build a key from: it is left out.
    if (line.Text().empty()) continue;
    bool end = false;
    std::string f1 = line.ReadField(end);
    std::string f2 = end ? std::string() : line.ReadField(end);
    std::string f3 = end ? std::string() : line.ReadField(end);
    size_t underscore = f1.find('_');
    std::string key = underscore == std::string::npos ? std::string() : f1.substr(0, underscore);
    if (!f1.empty() && f1[0] == '1' && !key.empty()) key.erase(0, 1);
    writer.WriteLine(key + "1.dat<>" + f2 + " (" + f3 + ")");
  }
  return writer.GetText();
}

std::string SubjectBodyText(const std::string& response, bool rental, bool oldHost) {
  std::string text = NormaliseLineEnds(response);
  if (rental) text = JisToSjis(EucToJis(text));
  if (oldHost) text = ReformatOldHost(std::move(text));
  ReplaceAll(text, ".cgi,", ".dat<>");
  ReplaceAll(text, ".dat,", ".dat<>");
  return text;
}

std::string EntryUrl(std::string_view subjectListLine) {
  size_t eq = subjectListLine.find('=');
  return std::string(subjectListLine.substr(0, eq));
}

std::string ServerPart(std::string_view lineOrUrl) {
  std::string s(lineOrUrl);
  EraseFirst(s, "http://");
  EraseFirst(s, "/subject.txt");
  size_t slash = s.rfind('/');
  return slash == std::string::npos ? std::string() : s.substr(0, slash);
}

int MaxBoardsPerHost(TStringList& subjectList, const TStringList& banList) {
  subjectList.Sort();
  std::string current;
  int run = 0, max = 0;
  for (const std::string& line : subjectList.Items) {
    std::string host = ServerPart(line);
    if (host != current) {
      max = std::max(max, run);
      current = std::move(host);
      run = 0;
    }
    if (!ContainsAnyOf(current, banList)) ++run;
  }
  return std::max(max, run);
}

std::string SubjectCacheName(std::string_view url) {
  std::string board(url);
  EraseFirst(board, "http://");
  EraseFirst(board, "/subject.txt");
  const std::string name = EncodeCacheName(board);
  // The name is one file inside the subject directory: nothing that the
  // platform could read as a separator, a parent or a truncation may pass.
  if (name.empty() || SjisFind(name, '\\') != std::string::npos || Contains(name, "..")) return {};
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return {};
  return name;
}

namespace {

// Keeps the window alive until the download ends, and aborts it after
// TimeOutTime seconds without a byte or BoardTimeLimit seconds in all. Both
// are measured on env's clock: the worker's activity stamp only says when
// something arrived, and is seen within a pump interval.
void WaitForDownload(THttpGet& getter, const TFetchSettings& settings, platform::TEnv& env,
                     const std::function<void()>& pump) {
  const int64_t limit = static_cast<int64_t>(settings.TimeOutTime) * 1000;
  const int64_t totalLimit = static_cast<int64_t>(settings.BoardTimeLimit) * 1000;
  const uint32_t started = env.TickCount();
  uint32_t seenActivity = getter.LastActivity();
  uint32_t lastActive = started;
  while (!getter.Idle()) {
    if (pump) pump();
    if (getter.WaitIdle(FetchPumpInterval)) break;
    // Unsigned differences: a tick counter wrap between two readings does no harm.
    const uint32_t now = env.TickCount();
    if (getter.LastActivity() != seenActivity) {
      seenActivity = getter.LastActivity();
      lastActive = now;
    }
    const uint32_t quiet = now - lastActive;
    if (static_cast<int64_t>(quiet) > limit || static_cast<int64_t>(now - started) > totalLimit) getter.Abort();
  }
}

}  // namespace

namespace {

const std::pair<const char*, std::string platform::THttpValidators::*> ValidatorLines[] = {
    {"Last-Modified: ", &platform::THttpValidators::LastModified},
    {"ETag: ", &platform::THttpValidators::ETag}};

}  // namespace

std::string ValidatorsText(const platform::THttpValidators& validators) {
  std::string text;
  for (const auto& [name, field] : ValidatorLines) {
    const std::string& value = validators.*field;
    if (!value.empty() && platform::IsSendableHeaderValue(value)) text += name + value + "\r\n";
  }
  return text;
}

platform::THttpValidators ParseValidators(std::string_view text) {
  platform::THttpValidators validators;
  TStringReader reader{std::string(text)};
  while (!reader.Eof()) {
    const std::string line = reader.ReadLine();
    for (const auto& [name, field] : ValidatorLines)
      if (line.starts_with(name) && platform::IsSendableHeaderValue(line))
        validators.*field = line.substr(std::string_view(name).size());
  }
  return validators;
}

namespace {

bool HoldsList(const std::string& cacheFile) {
  return platform::FileExists(cacheFile) && !platform::ReadWholeFile(cacheFile).empty();
}

// The validators to ask with: only for a board whose cached list is there.
platform::THttpValidators StoredConditions(const TFetchSettings& settings, const std::string& cacheFile,
                                           const std::string& validatorsFile) {
  if (!settings.ConditionalGet || !HoldsList(cacheFile) || !platform::FileExists(validatorsFile)) return {};
  return ParseValidators(platform::ReadWholeFile(validatorsFile));
}

// Stores a downloaded list and the validators it came with (none: the file
// goes). Validators never stand beside a list they did not come with: the
// old ones go before the list changes, the new ones follow it.
void StoreList(const std::string& cacheFile, const std::string& list, const std::string& validatorsFile,
               const platform::THttpValidators& validators) {
  const bool haveFile = platform::FileExists(validatorsFile);
  const bool listChanges = !platform::FileExists(cacheFile) || platform::ReadWholeFile(cacheFile) != list;
  if (listChanges && haveFile) platform::DeleteFile(validatorsFile);
  if (listChanges) platform::ReplaceFileAtomically(cacheFile, list, platform::TDurability::Renamed);
  const std::string text = ValidatorsText(validators);
  if (!text.empty() && (!platform::FileExists(validatorsFile) || platform::ReadWholeFile(validatorsFile) != text))
    platform::ReplaceFileAtomically(validatorsFile, text, platform::TDurability::Renamed);
  else if (text.empty() && platform::FileExists(validatorsFile))
    platform::DeleteFile(validatorsFile);
}

}  // namespace

bool FetchSubject(THttpGet& getter, const TFetchSettings& settings, const std::string& cacheDir, platform::TEnv& env,
                  const std::function<void()>& pump, const std::string& url, bool* notModified) {
  std::string cacheName = SubjectCacheName(url);
  if (cacheName.empty()) return false;
  const std::string cacheFile = cacheDir + cacheName + ".txt";
  const std::string validatorsFile = cacheDir + cacheName + ValidatorsFileExtension;
  const platform::THttpValidators conditions = StoredConditions(settings, cacheFile, validatorsFile);

  getter.Start(url, UserAgentText, settings.Proxy, conditions);
  WaitForDownload(getter, settings, env, pump);
  // The cached list stands, as if the server had sent it again; a "not
  // modified" that nothing asked for, or for a list gone meanwhile, is an
  // empty answer like any other.
  if (!conditions.Empty() && getter.Status() == platform::HttpNotModified) {
    if (!HoldsList(cacheFile)) return false;
    if (notModified) *notModified = true;
    return true;
  }

  // A NUL byte would end the text there and store a list cut short, making
  // the threads after it look fallen: such a body is no list at all.
  const std::string& response = getter.ResponseStream();
  size_t nul = response.find('\0');
  if (nul != std::string::npos && response.find_first_not_of('\0', nul) != std::string::npos) return false;

  std::string text;
  if (settings.ExternalCheck) {
    bool rental = false;
    for (const std::string& domain : settings.RentalDomains)
      if (!domain.empty() && Contains(url, domain)) rental = true;
    bool oldHost = !settings.RentalOldHost.empty() && Contains(url, settings.RentalOldHost);
    text = SubjectBodyText(response, rental, oldHost);
  } else {
    text = NormaliseLineEnds(response);
  }
  if (text.empty()) return false;

  TStringList lines;
  lines.SetText(text);
  if (lines.Count() == 0 || !Contains(lines[0], "<>")) return false;
  lines.Sort();
  // The cache is the next check's to rebuild: whole, but not flushed. A list
  // that has not changed since the last check (most boards between two
  // checks) is not written again.
  const bool fresh = settings.ConditionalGet && getter.Status() == 200;
  StoreList(cacheFile, lines.Text(), validatorsFile, fresh ? getter.Validators() : platform::THttpValidators());
  return true;
}

}  // namespace vek
