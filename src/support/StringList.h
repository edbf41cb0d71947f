// The ordered list of texts used for every list of a run and for loading and
// saving whole text files line by line. Sorted lists keep the order of the
// user's locale without regard to case and drop duplicates.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"

namespace vek {

class TStringList {
 public:
  // While Sorted, Add inserts in place (case-insensitive collation) and a text
  // equal to one already held (the same comparison) is dropped.
  bool Sorted = false;

  int Add(std::string text);        // index where it went; -1 when dropped as duplicate
  void Insert(int index, std::string text);
  void Delete(int index);
  void Clear() { Items.clear(); }
  int Count() const { return static_cast<int>(Items.size()); }
  const std::string& operator[](int i) const { return Items[static_cast<size_t>(i)]; }
  std::string& operator[](int i) { return Items[static_cast<size_t>(i)]; }

  int IndexOf(std::string_view text) const;        // case-insensitive; binary search when Sorted
  int IndexOfName(std::string_view name) const;    // the line whose text before its first "=" equals name
  static std::string_view NameOf(std::string_view line);   // text before the first "=" (all without one)
  static std::string_view ValueOf(std::string_view line);  // text after the first "=" (empty without one)
  void Sort();                                     // case-insensitive collation, stable

  // Lines end in CR LF, a lone CR or a lone LF; a last line without an end counts.
  void LoadFromFile(const std::string& fileName);  // throws FileError
  void SetText(std::string_view text);
  // Appends every text; while Sorted, the list is then sorted and equal texts
  // after the first dropped, as adding them one by one would leave it.
  void AddAll(std::vector<std::string> texts);
  std::string Text() const;                        // every line followed by CR LF
  // Atomic replace; throws FileError.
  void SaveToFile(const std::string& fileName,
                  platform::TDurability durability = platform::TDurability::Flushed) const;

  std::vector<std::string> Items;
};

// True when the text contains one of the list's non-empty lines (bytes compared).
bool ContainsAnyOf(std::string_view text, const TStringList& list);

}  // namespace vek
