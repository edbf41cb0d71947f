// The settings table and the reading and writing of vek.ini that it drives.
#include "shell/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "check/NextCheck.h"
#include "platform/Collate.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "fetch/SubjectFetch.h"
#include "platform/UserPaths.h"
#include "reports/NewReport.h"
#include "shell/VekMainForm.h"
#include "support/SjisText.h"

namespace vek {

namespace {

using T = TSettingType;
using Form = TVekMainForm;

// Decimal, or hexadecimal after "0x"/"0X"; false for anything else.
bool ParseIniInteger(const std::string& text, int& result) {
  if (text.empty()) return false;
  const char* digits = text.c_str();
  bool negative = false;
  if (*digits == '-' || *digits == '+') negative = *digits++ == '-';
  int base = 10;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits += 2;
  }
  if (*digits == '\0' || *digits == '-' || *digits == '+' || *digits == ' ') return false;
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(digits, &end, base);
  if (*end != '\0' || errno == ERANGE) return false;
  if (negative) value = -value;
  // Hexadecimal covers the whole 32-bit pattern ("0xFFFFFFFF" is -1).
  if (base == 16 && value > 0x7FFFFFFFLL && value <= 0xFFFFFFFFLL) value -= 0x100000000LL;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  result = static_cast<int>(value);
  return true;
}

int IntegerOr(const std::string& text, int defaultValue) {
  int value = defaultValue;
  return ParseIniInteger(text, value) ? value : defaultValue;
}

std::string BoolText(bool value) { return value ? "1" : "0"; }

// Rows for the kinds of value the window holds.
template <std::string Form::*Field>
TSetting Text(const char* section, const char* key, T type, const char* defaultValue) {
  return {section, key, type, defaultValue, [](const Form& f) { return f.*Field; },
          [](Form& f, const std::string& v) { f.*Field = v; }};
}

template <int Form::*Field>
TSetting Number(const char* section, const char* key, const char* defaultValue, bool placement = false,
                int minimum = INT32_MIN) {
  return {section, key, T::Integer, defaultValue, [](const Form& f) { return std::to_string(f.*Field); },
          [](Form& f, const std::string& v) { f.*Field = std::stoi(v); }, minimum, placement};
}

template <TMenuItem Form::*Item>
TSetting Check(const char* section, const char* key, const char* defaultValue) {
  return {section, key, T::Boolean, defaultValue, [](const Form& f) { return BoolText((f.*Item).Checked); },
          [](Form& f, const std::string& v) { f.SetMenuCheck(f.*Item, v == "1"); }, INT32_MIN, false, Item};
}

// A default said as a number where it is defined, in the file's form.
template <int Value>
const char* IntegerText() {
  static const std::string text = std::to_string(Value);
  return text.c_str();
}

// A setting of the unattended use from the tray, off by default.
TSetting Unattended(TSetting row, int maximum = INT32_MAX) {
  row.OnlyWhenSet = true;
  row.Maximum = maximum;
  return row;
}

// A setting off by default that a file gains only once it is set: a file
// without it is written back as it was.
TSetting WrittenOnceSet(TSetting row) {
  row.OnlyWhenSet = true;
  return row;
}

// The rows of one start-up stage, given their stage column.
std::vector<TSetting> Stage(TReadStage stage, std::vector<TSetting> rows) {
  for (TSetting& row : rows) row.Stage = stage;
  return rows;
}

// Read before the index file lists are filled.
std::vector<TSetting> EarlyRows() {
  return Stage(TReadStage::BeforeLists, {
      {"dorvella", "Directory", T::Folder, "", [](const Form& f) { return f.DorPath(); },
       [](Form& f, const std::string& v) { f.SetDorPath(WithTrailingBackslash(v)); }},
      Text<&Form::Proxy>("VEK", "Proxy", T::String, ""),
      Check<&Form::AutoStartMenu>("VEK", "AutoStart", "0"),
      Check<&Form::AutoShutDownMenu>("VEK", "AutoShutDown", "0"),
      // The design position and client area of the window.
      Number<&Form::WindowTop>("Window", "Top", "111", true),
      Number<&Form::WindowLeft>("Window", "Left", "230", true),
      Number<&Form::WindowWidth>("Window", "Width", IntegerText<DefaultWindowWidth>(), true),
      Number<&Form::WindowHeight>("Window", "Height", IntegerText<DefaultWindowHeight>(), true),
      {"Window", "State", T::WindowState, "Normal",
       [](const Form& f) { return std::string(f.WindowMaximized ? "Maximized" : "Normal"); },
       [](Form& f, const std::string& v) { f.WindowMaximized = v != "Normal"; }},
      Check<&Form::MinStartMenu>("Window", "MinStart", "0"),
      Text<&Form::SoundName>("VEK", "SoundName", T::String, "MailBeep"),
      Text<&Form::NewIdxName>("VEK", "NewIdxName", T::IdxName, DefaultNewIdxName),
  });
}

// Read once the ignore list has its items, before the selector has its own.
std::vector<TSetting> ListRows() {
  return Stage(TReadStage::BeforeSelector, {
      {"VEK", "IgnoreIdxList", T::String, "", [](const Form& f) { return f.IgnoreIdxList(); },
       [](Form& f, const std::string& v) { f.SetIgnoreIdxList(v); }},
      // Kept only when the file exists, so a missing icon is written empty.
      {"VEK", "IconName", T::String, "", [](const Form& f) { return f.IconName; },
       [](Form& f, const std::string& v) { f.SetIconFile(v); }},
  });
}

std::vector<TSetting> LateRows() {
  return Stage(TReadStage::Rest, {
      {"VEK", "IdxType", T::Integer, "0", [](const Form& f) { return std::to_string(f.IdxType()); },
       [](Form& f, const std::string& v) { f.SetIdxType(std::stoi(v)); }},
      Check<&Form::GreedyCheckMenu>("VEK", "GreedyCheck", "1"),
      Check<&Form::NotifySoundMenu>("VEK", "NotifySound", "1"),
      Check<&Form::ExternalCheckMenu>("VEK", "ExternalCheck", "1"),
      Text<&Form::BoardExp>("VEK", "BoardExp", T::String, DefaultBoardExp),
      Text<&Form::ThreadExp>("VEK", "ThreadExp", T::String, DefaultThreadExp),
      Check<&Form::AutoDorFinMenu>("VEK", "AutoDorFin", "0"),
      Check<&Form::AutoDorRunMenu>("VEK", "AutoDorRun", "0"),
      Check<&Form::AutoInitMenu>("VEK", "AutoInit", "0"),
      Check<&Form::FailedReportMenu>("VEK", "FailedReport", "1"),
      // Seconds; a download cannot be given less than one.
      Number<&Form::TimeOutTime>("VEK", "TimeOutTime", IntegerText<DefaultTimeOutTime>(), false, 1),
      // Deployment configuration: ";"-separated lists; a present but empty
      // value turns the treatment off.
      Text<&Form::PrimarySuffixes>("VEK", "PrimarySuffixes", T::String, "5ch.io;5ch.net;bbspink.com"),
      Text<&Form::RentalDomains>("VEK", "RentalDomains", T::String, "shitaraba.net"),
      Text<&Form::RentalOldHost>("VEK", "RentalOldHost", T::String, ""),
      // Minutes between periodic checks; 0 turns them off.
      Unattended(Number<&Form::CheckEvery>("VEK", "CheckEvery", "0", false, 0), MaxCheckEvery),
      Unattended(Check<&Form::NotifyBalloonMenu>("VEK", "NotifyBalloon", "0")),
      WrittenOnceSet(Check<&Form::ConditionalGetMenu>("VEK", "ConditionalGet", "0")),
      // The next-thread report, off by default and, like ConditionalGet,
      // written only once set; a count of 0 lists fallen threads only.
      WrittenOnceSet(Check<&Form::NextThreadReportMenu>("VEK", "NextThreadReport", "0")),
      WrittenOnceSet(Number<&Form::NextThreadAt>("VEK", "NextThreadAt", "1000", false, 0)),
  });
}

std::vector<TSetting> MakeTable() {
  std::vector<TSetting> table = EarlyRows();
  for (auto rows : {ListRows(), LateRows()}) table.insert(table.end(), rows.begin(), rows.end());
  return table;
}

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

}  // namespace

std::string WithTrailingBackslash(std::string dir) {
  // The last byte may be the trail byte 0x5C of a two-byte character ("表",
  // "ソ"): only a separator that is a character of its own counts.
  if (dir.empty()) return dir;
  const size_t end = dir.size() - 1;
  if (SjisFindLast(dir, '\\') != end && SjisFindLast(dir, '/') != end) dir += '\\';
  return dir;
}

const std::vector<TSetting>& SettingsTable() {
  static const std::vector<TSetting> table = MakeTable();
  return table;
}

const TSetting* FindSetting(const std::string& section, const std::string& key) {
  for (const TSetting& setting : SettingsTable()) {
    if (EqualsNoCase(section, setting.Section) && EqualsNoCase(key, setting.Key)) return &setting;
  }
  return nullptr;
}

std::string EffectiveValue(const TSetting& setting, const std::string& text, bool missing) {
  if (missing) return setting.Default;
  switch (setting.Type) {
    case T::Integer:
      return std::to_string(IntegerOr(text, IntegerOr(setting.Default, 0)));
    case T::Boolean:
      return BoolText(IntegerOr(text, IntegerOr(setting.Default, 0)) != 0);
    case T::WindowState:
      return text == "Normal" ? "Normal" : "Maximized";
    default:
      return text;
  }
}

std::string AcceptedValues(const TSetting& setting) {
  switch (setting.Type) {
    case T::Integer:
      if (setting.Maximum != INT32_MAX)
        return "a whole number from " + std::to_string(setting.Minimum) + " to " + std::to_string(setting.Maximum);
      return setting.Minimum == INT32_MIN ? "a whole number"
                                          : "a whole number of " + std::to_string(setting.Minimum) + " or more";
    case T::Boolean:
      return "1 or 0 (also true/false, yes/no, on/off)";
    case T::Folder:
      return "an existing folder";
    case T::WindowState:
      return "Normal or Maximized";
    case T::IdxName:
      return "a file name ending in .idx";
    default:
      return "any text on one line";
  }
}

bool NormaliseUserValue(const TSetting& setting, const std::string& text, std::string& value) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  int number = 0;
  switch (setting.Type) {
    case T::Integer:
      if (!ParseIniInteger(text, number) || number < setting.Minimum || number > setting.Maximum) return false;
      value = std::to_string(number);
      return true;
    case T::Boolean: {
      const auto isAnyOf = [&text](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&text](const char* w) { return EqualsNoCase(text, w); });
      };
      if (!isAnyOf({"1", "0", "true", "false", "yes", "no", "on", "off"})) return false;
      value = BoolText(isAnyOf({"1", "true", "yes", "on"}));
      return true;
    }
    case T::WindowState:
      if (text != "Normal" && text != "Maximized") return false;
      break;
    case T::IdxName:
      // A name in the host directory itself, as the window's dialog gives it.
      if (text.size() <= 4 || !EqualsNoCase(text.substr(text.size() - 4), ".idx") ||
          text.find_first_of("\\/:") != std::string::npos)
        return false;
      break;
    case T::Folder:
      if (text.empty()) return false;
      break;
    default:
      break;
  }
  value = text;
  return true;
}

void ApplySettingDefaults(TVekMainForm& form) {
  for (const TSetting& setting : SettingsTable()) {
    // The list and the selector are filled only at start-up.
    if (std::string(setting.Key) == "IdxType" || std::string(setting.Key) == "IgnoreIdxList") continue;
    if (setting.Menu != nullptr) {
      (form.*setting.Menu).Checked = std::string(setting.Default) == "1";
    } else {
      setting.Apply(form, setting.Default);
    }
  }
}

bool ReadStoredSetting(const std::string& fileName, const TSetting& setting, std::string& text) {
  // Read as text with this marker standing for "no such key".
  constexpr const char* missing = "\x01";
  text = platform::IniReadString(fileName, setting.Section, setting.Key, missing);
  return text != missing;
}

void ReadSettings(TVekMainForm& form, TReadStage stage) {
  const std::string fileName = form.Paths().IniFileName();
  for (const TSetting& setting : SettingsTable()) {
    if (setting.Stage != stage) continue;
    std::string text;
    const bool stored = ReadStoredSetting(fileName, setting, text);
    setting.Apply(form, EffectiveValue(setting, text, !stored));
  }
}

bool RewriteSettingsFile(const std::string& fileName, const std::function<bool(const std::string&)>& writeKeys) {
  if (platform::IsReadOnly(fileName)) return false;
  const std::string draft = fileName + ".new";
  bool written = false;
  try {
    const std::string old = platform::FileExists(fileName) ? platform::ReadWholeFile(fileName) : std::string();
    platform::ReplaceFileAtomically(draft, old, platform::TDurability::Renamed);
    platform::IniFileReplaced(draft);
    written = writeKeys(draft);
    // Settings that did not change leave the file as it is.
    const std::string now = written ? platform::ReadWholeFile(draft) : old;
    if (written && (now != old || !platform::FileExists(fileName))) {
      platform::ReplaceFileAtomically(fileName, now);
      platform::IniFileReplaced(fileName);
    }
  } catch (const FileError&) {
    written = false;
  }
  platform::DeleteFile(draft);
  return written;
}

bool WriteSettings(TVekMainForm& form) {
  const std::string fileName = form.Paths().IniFileName();
  // The first value that cannot be written ends the writing, reported once,
  // so the exit still saves the log.
  const bool written = RewriteSettingsFile(fileName, [&form](const std::string& draft) {
    for (const TSetting& setting : SettingsTable()) {
      if (setting.Placement && form.WindowMaximized) continue;
      std::string text;
      if (setting.OnlyWhenSet && setting.Get(form) == setting.Default && !ReadStoredSetting(draft, setting, text))
        continue;
      if (!platform::IniWriteString(draft, setting.Section, setting.Key, setting.Get(form),
                                     platform::TDurability::Renamed)) return false;
    }
    return true;
  });
  if (!written) form.View.ShowMessage(platform::DisplayPath(fileName) + " に書き込めません");
  return written;
}

}  // namespace vek
