// The ordered text list: sorted insertion, look-up by text or name, whole-file I/O.
#include "support/StringList.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Collate.h"
#include "platform/Files.h"
#include "support/TextLines.h"

namespace vek {
namespace {

bool Less(const std::string& a, const std::string& b) { return platform::CompareTextNoCase(a, b) < 0; }

// Lower bound of text in a sorted list; found tells whether an equal text is there.
size_t SortedPosition(const std::vector<std::string>& items, std::string_view text, bool& found) {
  size_t lo = 0, hi = items.size();
  found = false;
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    const int c = platform::CompareTextNoCase(items[mid], text);
    if (c < 0) {
      lo = mid + 1;
    } else {
      if (c == 0) found = true;
      hi = mid;
    }
  }
  return lo;
}

}  // namespace

int TStringList::Add(std::string text) {
  if (!Sorted) {
    Items.push_back(std::move(text));
    return Count() - 1;
  }
  bool found = false;
  const size_t at = SortedPosition(Items, text, found);
  if (found) return -1;
  Items.insert(Items.begin() + static_cast<std::ptrdiff_t>(at), std::move(text));
  return static_cast<int>(at);
}

// Inserting at a chosen place would break the order a sorted list promises
// (and the binary searches that rely on it), so it is refused there.
void TStringList::Insert(int index, std::string text) {
  if (Sorted) throw std::logic_error("Insert on a sorted list");
  if (index < 0 || index > Count()) throw std::out_of_range("list index out of bounds");
  Items.insert(Items.begin() + index, std::move(text));
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("list index out of bounds");
  Items.erase(Items.begin() + index);
}

int TStringList::IndexOf(std::string_view text) const {
  if (Sorted) {
    bool found = false;
    const size_t at = SortedPosition(Items, text, found);
    return found ? static_cast<int>(at) : -1;
  }
  for (size_t i = 0; i < Items.size(); ++i)
    if (platform::CompareTextNoCase(Items[i], text) == 0) return static_cast<int>(i);
  return -1;
}

// "=" (0x3D) is never the second byte of a two-byte character, so a plain
// search finds the separator.
std::string_view TStringList::NameOf(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? line : line.substr(0, eq);
}

std::string_view TStringList::ValueOf(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

int TStringList::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < Items.size(); ++i)
    if (platform::CompareTextNoCase(NameOf(Items[i]), name) == 0) return static_cast<int>(i);
  return -1;
}

void TStringList::Sort() { std::stable_sort(Items.begin(), Items.end(), Less); }

void TStringList::LoadFromFile(const std::string& fileName) { SetText(platform::ReadWholeFile(fileName)); }

void TStringList::SetText(std::string_view text) {
  Items.clear();
  std::vector<std::string> lines;
  ForEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  AddAll(std::move(lines));
}

void TStringList::AddAll(std::vector<std::string> texts) {
  if (Items.empty()) {
    Items = std::move(texts);
  } else {
    Items.insert(Items.end(), std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()));
  }
  if (!Sorted) return;
  // The same result as adding one by one (the first of equal texts kept),
  // without moving the list's tail once per text.
  std::stable_sort(Items.begin(), Items.end(), Less);
  auto last = std::unique(Items.begin(), Items.end(), [](const std::string& a, const std::string& b) {
    return platform::CompareTextNoCase(a, b) == 0;
  });
  Items.erase(last, Items.end());
}

bool ContainsAnyOf(std::string_view text, const TStringList& list) {
  for (const std::string& line : list.Items)
    if (!line.empty() && text.find(line) != std::string_view::npos) return true;
  return false;
}

std::string TStringList::Text() const {
  size_t size = 0;
  for (const std::string& s : Items) size += s.size() + 2;
  std::string out;
  out.reserve(size);
  for (const std::string& s : Items) {
    out += s;
    out += "\r\n";
  }
  return out;
}

void TStringList::SaveToFile(const std::string& fileName, platform::TDurability durability) const {
  platform::ReplaceFileAtomically(fileName, Text(), durability);
}

}  // namespace vek
