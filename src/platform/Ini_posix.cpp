// The private-profile rules on POSIX, written to behave as the Windows
// functions do: the file is parsed into sections of entries, looked up without
// regard to case, and written back whole -- one "key=value" per line, CR LF,
// blank lines dropped -- through an atomic replace.
#include <string_view>
#include <vector>

#include "platform/Collate.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Sjis.h"
#include "platform/FileError.h"
#include "platform/WriteFaults.h"

namespace vek::platform {
namespace {

constexpr size_t MaxValueLength = 2047;

struct TEntry {
  std::string Key;
  std::string Value;
  bool HasValue = false;  // a line without "=" (a comment, say) is kept as it is
};

struct TSection {
  std::string Name;  // empty for the lines before the first section line
  std::vector<TEntry> Entries;
};

bool SameName(std::string_view a, std::string_view b) { return CompareTextNoCase(a, b) == 0; }

std::vector<TSection> Parse(std::string_view text) {
  std::vector<TSection> sections(1);
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty()) continue;
    if (line.front() == '[') {
      size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        sections.push_back(TSection{std::string(TrimBlanks(line.substr(1, close - 1))), {}});
        continue;
      }
    }
    TEntry entry;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      entry.Key = line;
    } else {
      entry.Key = TrimBlanks(line.substr(0, eq));
      entry.Value = TrimBlanks(line.substr(eq + 1));
      entry.HasValue = true;
    }
    sections.back().Entries.push_back(std::move(entry));
  }
  return sections;
}

std::string Format(const std::vector<TSection>& sections) {
  std::string text;
  for (const TSection& section : sections) {
    if (!section.Name.empty()) text += "[" + section.Name + "]\r\n";
    for (const TEntry& entry : section.Entries) {
      text += entry.Key;
      if (entry.HasValue) text += "=" + entry.Value;
      text += "\r\n";
    }
  }
  return text;
}

// The first section of that name wins, as it does on Windows; the nameless
// section is always first.
TSection* FindSection(std::vector<TSection>& sections, std::string_view name) {
  if (name.empty()) return &sections.front();
  for (size_t i = 1; i < sections.size(); ++i)
    if (SameName(sections[i].Name, name)) return &sections[i];
  return nullptr;
}

TEntry* FindEntry(TSection& section, std::string_view key) {
  for (TEntry& entry : section.Entries)
    if (SameName(entry.Key, key)) return &entry;
  return nullptr;
}

std::string Unquote(std::string_view value) {
  if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

// Cut at a character boundary: half a two-byte character is no text.
std::string CutToMaxLength(std::string value) { return CutAtCharacterBoundary(std::move(value), MaxValueLength); }

}  // namespace

std::string IniReadString(const std::string& fileName, const std::string& section, const std::string& key,
                          const std::string& defaultValue) {
  std::string text;
  try {
    text = ReadWholeFile(fileName);
  } catch (const FileError&) {
    return defaultValue;
  }
  std::vector<TSection> sections = Parse(text);
  TSection* found = FindSection(sections, TrimBlanks(section));
  TEntry* entry = found ? FindEntry(*found, TrimBlanks(key)) : nullptr;
  if (!entry || !entry->HasValue) return defaultValue;
  return CutToMaxLength(Unquote(entry->Value));
}

// Every call here reads the file afresh.
void IniFileReplaced(const std::string&) {}

bool IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value, TDurability durability) {
  // Windows does not write a read-only settings file; the caller clears the
  // attribute first when it means to.
  if (IsReadOnly(fileName)) return false;
  std::vector<TSection> sections;
  try {
    sections = Parse(FileExists(fileName) ? ReadWholeFile(fileName) : std::string());
  } catch (const FileError&) {
    return false;
  }
  std::string_view sectionName = TrimBlanks(section);
  std::string_view keyName = TrimBlanks(key);
  std::string_view newValue = TrimBlanks(value);  // Windows stores the value without surrounding blanks
  TSection* target = FindSection(sections, sectionName);
  if (!target) {
    sections.push_back(TSection{std::string(sectionName), {}});
    target = &sections.back();
  }
  if (TEntry* entry = FindEntry(*target, keyName)) {
    if (entry->HasValue && entry->Value == newValue) return true;  // nothing to write
    entry->Value = newValue;
    entry->HasValue = true;
  } else {
    target->Entries.push_back(TEntry{std::string(keyName), std::string(newValue), true});
  }
  if (InjectedWriteFault(TWriteKind::Ini, fileName) != TWriteFault::None) return false;
  try {
    ReplaceFileAtomically(fileName, Format(sections), durability);
  } catch (const FileError&) {
    return false;
  }
  return true;
}

}  // namespace vek::platform
