// Open addressing with linear probing, at most half full; each slot keeps the
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

// Set in every stored hash, so that 0 marks a free slot; the slot index
// comes from the low bits.
constexpr uint64_t FullBit = 1ULL << 63;

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
  return Mix(h) | FullBit;
}

void TKeyTable::Reset(size_t expectedKeys) {
  size_t capacity = CapacityFor(expectedKeys);
  if (Slots.size() != capacity)
    Slots.assign(capacity, TEntry{});
  else if (Used != 0)
    std::fill(Slots.begin(), Slots.end(), TEntry{});
  Mask = capacity - 1;
  Used = 0;
}

void TKeyTable::Grow() {
  std::vector<TEntry> old;
  old.swap(Slots);
  Slots.assign(old.empty() ? 16 : old.size() * 2, TEntry{});
  Mask = Slots.size() - 1;
  for (const TEntry& slot : old) {
    if (slot.KeyHash == 0) continue;
    size_t i = slot.KeyHash & Mask;
    while (Slots[i].KeyHash != 0) i = (i + 1) & Mask;
    Slots[i] = slot;
  }
}

bool TKeyTable::Insert(std::string_view key, size_t value) {
  if ((Used + 1) * 2 > Slots.size()) Grow();
  uint64_t h = Hash(key);
  for (size_t i = h & Mask;; i = (i + 1) & Mask) {
    TEntry& slot = Slots[i];
    if (slot.KeyHash == 0) {
      slot.Data = key.data();
      slot.Size = key.size();
      slot.Value = value;
      slot.KeyHash = h;
      ++Used;
      return true;
    }
    if (slot.KeyHash == h && SameBytes(slot.Data, slot.Size, key))
      return false;
  }
}

const TKeyTable::TEntry* TKeyTable::Find(std::string_view key) const {
  if (Used == 0) return nullptr;
  uint64_t h = Hash(key);
  for (size_t i = h & Mask;; i = (i + 1) & Mask) {
    const TEntry& slot = Slots[i];
    if (slot.KeyHash == 0) return nullptr;
    if (slot.KeyHash == h && SameBytes(slot.Data, slot.Size, key)) return &slot;
  }
}

}  // namespace vek
