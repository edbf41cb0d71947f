// The settings file vek.ini as one table: every key with its section, type and
// default, and how the main window holds it. Start-up reads the keys and exit
// writes them from this table (each in its own order), and `vek config` takes
// names, types and accepted values from it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vek {

class TVekMainForm;
struct TMenuItem;

enum class TSettingType {
  String,       // any text on one line
  Integer,      // decimal, or hexadecimal after "0x"
  Boolean,      // "1" or "0" in the file
  Folder,       // a directory, held with a trailing "\"
  WindowState,  // "Normal" or "Maximized"
  IdxName,      // a file name in the host directory ending in ".idx"
};

// Start-up reads vek.ini in three stages around the filling of the two index
// file lists: the ignore list and the selector need their items first.
enum class TReadStage { BeforeLists, BeforeSelector, Rest };

struct TSetting {
  const char* Section;
  const char* Key;
  TSettingType Type;
  const char* Default;  // in the file's form
  // The value as the window holds it, in the file's form, and the other way.
  std::string (*Get)(const TVekMainForm& form);
  void (*Apply)(TVekMainForm& form, const std::string& value);
  int Minimum = INT32_MIN;  // integers only
  // Written only while the window is not maximised (its placement).
  bool Placement = false;
  // Booleans: the menu item whose check mark is the setting.
  TMenuItem TVekMainForm::*Menu = nullptr;
  TReadStage Stage = TReadStage::Rest;  // when start-up reads it
  int Maximum = INT32_MAX;  // integers only
  // Written at exit only once the file has the key or the value is not the
  // default: settings added later leave a file from before them as it was.
  bool OnlyWhenSet = false;
};

// In the order exit writes them, which is also start-up's order within a stage.
const std::vector<TSetting>& SettingsTable();
// Section and key compared without regard to ASCII case, as the file does.
const TSetting* FindSetting(const std::string& section, const std::string& key);

// What the program makes of a text read from the file (or of none: "missing"
// true): the default when it is missing or does not parse, else the value
// in the file's form ("1"/"0", a decimal number, the text itself).
std::string EffectiveValue(const TSetting& setting, const std::string& text, bool missing);

// What a value typed by the user must look like, for messages ("1 or 0").
std::string AcceptedValues(const TSetting& setting);
// A value typed by the user in the file's form ("yes" gives "1"); false when
// the setting does not accept it. Folders are checked by the caller.
bool NormaliseUserValue(const TSetting& setting, const std::string& text, std::string& value);

// A host directory typed into the settings file by hand may lack its final
// separator; every path is built by concatenation, so one is added.
std::string WithTrailingBackslash(std::string dir);

// The table's defaults into a fresh window (before start-up reads the file),
// without telling the view: its window may not exist yet.
void ApplySettingDefaults(TVekMainForm& form);

// The text a settings file holds for the setting; false when it has no such key.
bool ReadStoredSetting(const std::string& fileName, const TSetting& setting, std::string& text);

// Start-up's reading of the keys of one stage.
void ReadSettings(TVekMainForm& form, TReadStage stage);
// Exit's writing of every key; false (after one message) when a value could
// not be written.
bool WriteSettings(TVekMainForm& form);

// Writes keys into the settings file as a whole: writeKeys gets a draft
// beside it (a copy of the file, or empty), and when every key went in, the
// draft replaces the file in one step. A disk that fills up meanwhile leaves
// the old settings or the new ones, never some of each, and never a file cut
// short where the system's profile functions write in place. False when the
// file is read-only or something could not be written; the draft is gone
// either way.
bool RewriteSettingsFile(const std::string& fileName, const std::function<bool(const std::string&)>& writeKeys);

}  // namespace vek
