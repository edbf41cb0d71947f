// Thread keys of one board hashed into flat arrays: no allocation per key, so
// a table can be filled with a board's thousand lines and thrown away hundreds
// of times in a run.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace vek {

class TKeyTable {
 public:
  struct TEntry {
    const char* Data = nullptr;  // the key's bytes where the caller keeps them
    size_t Size = 0;
    size_t Value = 0;
    uint64_t KeyHash = 0;
    std::string_view Key() const { return std::string_view(Data, Size); }
  };

  // Empties the table and makes room for that many keys without growing.
  void Reset(size_t expectedKeys);
  // Adds the key with its value; a key already there keeps its first value
  // (false). The key's bytes are not copied: they must outlive the table's use.
  bool Insert(std::string_view key, size_t value);
  // The entry of the key (its Data is where the first insert's key was), or
  // nullptr. Valid until the next Insert or Reset.
  const TEntry* Find(std::string_view key) const;
  size_t Count() const { return Entries.size(); }

  // Calls visit(key) for every key, in the order they were first inserted.
  template <typename Visit>
  void ForEachKey(Visit&& visit) const {
    for (const TEntry& entry : Entries) visit(entry.Key());
  }

  static uint64_t Hash(std::string_view key);

 private:
  void Grow();
  // Open addressing over entry numbers plus one (0: a free slot), at most
  // half full: the part that probing walks stays small enough for the
  // processor's nearest cache, and emptying it is cheap.
  std::vector<uint32_t> Slots;
  size_t Mask = 0;
  std::vector<TEntry> Entries;
};

}  // namespace vek
