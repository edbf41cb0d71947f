// Thread keys of one board hashed into a single flat array: no allocation per
// key, so a table can be filled with a board's thousand lines and thrown away
// hundreds of times in a run.
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
    uint64_t KeyHash = 0;  // 0: a free slot
    std::string_view Key() const { return std::string_view(Data, Size); }
  };

  // Empties the table and makes room for that many keys without growing.
  void Reset(size_t expectedKeys);
  // Adds the key with its value; a key already there keeps its first value
  // (false). The key's bytes are not copied: they must outlive the table's use.
  bool Insert(std::string_view key, size_t value);
  // The entry of the key (its Data is where the first insert's key was), or
  // nullptr.
  const TEntry* Find(std::string_view key) const;
  size_t Count() const { return Used; }

  // Calls visit(key) for every key, in no particular order.
  template <typename Visit>
  void ForEachKey(Visit&& visit) const {
    for (const TEntry& slot : Slots)
      if (slot.KeyHash != 0) visit(slot.Key());
  }

  static uint64_t Hash(std::string_view key);

 private:
  void Grow();
  size_t Mask = 0;
  size_t Used = 0;
  std::vector<TEntry> Slots;
};

}  // namespace vek
