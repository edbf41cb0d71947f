// Linear probing over a small array of entry numbers; each entry keeps its
// key's hash so that most probes never touch the key's bytes.
#include "reports/KeyTable.h"

#include <algorithm>
#include <cstring>

namespace vek {

namespace {

constexpr uint64_t Multiplier = 0x9E3779B97F4A7C15ULL;

uint64_t Mix(uint64_t h) {
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ULL;
  h ^= h >> 32;
  return h;
}

bool SameBytes(const char* data, size_t size, std::string_view key) {
  return size == key.size() && (size == 0 || std::memcmp(data, key.data(), size) == 0);
}

size_t CapacityFor(size_t keys) {
  size_t capacity = 16;
  while (capacity < keys * 2) capacity *= 2;
  return capacity;
}

uint64_t Load8(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

}  // namespace

// Eight bytes at a time, the last eight overlapping the ones before: thread
// keys are about fourteen bytes long, two loads.
uint64_t TKeyTable::Hash(std::string_view key) {
  const char* p = key.data();
  size_t size = key.size();
  uint64_t h = (size + 1) * Multiplier;
  if (size >= 8) {
    for (size_t i = 0; i + 8 < size; i += 8) h = Mix((h ^ Load8(p + i)) * Multiplier);
    h = (h ^ Load8(p + size - 8)) * Multiplier;
  } else {
    uint64_t word = 0;
    for (size_t i = 0; i < size; ++i) word |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    h = (h ^ word) * Multiplier;
  }
  return Mix(h);
}

void TKeyTable::Reset(size_t expectedKeys) {
  size_t capacity = CapacityFor(expectedKeys);
  if (Slots.size() != capacity)
    Slots.assign(capacity, 0);
  else if (!Entries.empty())
    std::fill(Slots.begin(), Slots.end(), 0);
  Mask = capacity - 1;
  Entries.clear();
  Entries.reserve(expectedKeys);
}

void TKeyTable::Grow() {
  Slots.assign(Slots.empty() ? 16 : Slots.size() * 2, 0);
  Mask = Slots.size() - 1;
  for (size_t e = 0; e < Entries.size(); ++e) {
    size_t i = Entries[e].KeyHash & Mask;
    while (Slots[i] != 0) i = (i + 1) & Mask;
    Slots[i] = static_cast<uint32_t>(e + 1);
  }
}

bool TKeyTable::Insert(std::string_view key, size_t value) {
  if ((Entries.size() + 1) * 2 > Slots.size()) Grow();
  uint64_t h = Hash(key);
  for (size_t i = h & Mask;; i = (i + 1) & Mask) {
    uint32_t slot = Slots[i];
    if (slot == 0) {
      Entries.push_back(TEntry{key.data(), key.size(), value, h});
      Slots[i] = static_cast<uint32_t>(Entries.size());
      return true;
    }
    const TEntry& entry = Entries[slot - 1];
    if (entry.KeyHash == h && SameBytes(entry.Data, entry.Size, key)) return false;
  }
}

const TKeyTable::TEntry* TKeyTable::Find(std::string_view key) const {
  if (Entries.empty()) return nullptr;
  uint64_t h = Hash(key);
  for (size_t i = h & Mask;; i = (i + 1) & Mask) {
    uint32_t slot = Slots[i];
    if (slot == 0) return nullptr;
    const TEntry& entry = Entries[slot - 1];
    if (entry.KeyHash == h && SameBytes(entry.Data, entry.Size, key)) return &entry;
  }
}

}  // namespace vek
