// An open-addressing hash map from exponent keys to the state of a class of
// rows with equal exponents. Entries keep their insertion order in a dense
// vector; the table holds indices into it.
#pragma once

#include <cstdint>
#include <vector>

namespace poly {

template <class Key, class Value, class Traits>
class ClassMap {
 public:
  explicit ClassMap(size_t expected = 16) { Reset(expected); }

  // Empties the map for about `expected` entries, keeping its storage.
  void Reset(size_t expected) {
    keys_.clear();
    entries_.clear();
    keys_.reserve(expected);
    entries_.reserve(expected);
    Rehash(Capacity(expected));
  }

  // The entry for the key, created with init when absent; inserted tells which.
  Value& Find(const Key& key, const Value& init, bool& inserted) {
    if ((entries_.size() + 1) * 2 > slots_.size()) Rehash(slots_.size() * 2);
    size_t mask = slots_.size() - 1;
    for (size_t i = Traits::Hash(key) & mask;; i = (i + 1) & mask) {
      uint32_t s = slots_[i];
      if (s == kEmpty) {
        slots_[i] = static_cast<uint32_t>(entries_.size());
        keys_.push_back(key);
        entries_.push_back(init);
        inserted = true;
        return entries_.back();
      }
      if (Traits::Equal(keys_[s], key)) {
        inserted = false;
        return entries_[s];
      }
    }
  }
  // The entry for the key, or null.
  Value* Lookup(const Key& key) {
    size_t mask = slots_.size() - 1;
    for (size_t i = Traits::Hash(key) & mask;; i = (i + 1) & mask) {
      uint32_t s = slots_[i];
      if (s == kEmpty) return nullptr;
      if (Traits::Equal(keys_[s], key)) return &entries_[s];
    }
  }

  // Hands over the keys and the entries, in insertion order, and empties
  // the map, its table freed.
  void Release(std::vector<Key>& keys, std::vector<Value>& entries) {
    keys.swap(keys_);
    entries.swap(entries_);
    std::vector<Key>().swap(keys_);
    std::vector<Value>().swap(entries_);
    std::vector<uint32_t>().swap(slots_);
    Rehash(16);
  }

  size_t size() const { return entries_.size(); }
  const Key& key(size_t i) const { return keys_[i]; }
  Value& value(size_t i) { return entries_[i]; }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

  static size_t Capacity(size_t expected) {
    size_t c = 16;
    while (c < expected * 2) c <<= 1;
    return c;
  }

  void Rehash(size_t capacity) {
    slots_.assign(capacity, kEmpty);
    size_t mask = capacity - 1;
    for (size_t e = 0; e < keys_.size(); ++e) {
      size_t i = Traits::Hash(keys_[e]) & mask;
      while (slots_[i] != kEmpty) i = (i + 1) & mask;
      slots_[i] = static_cast<uint32_t>(e);
    }
  }

  std::vector<uint32_t> slots_;
  std::vector<Key> keys_;
  std::vector<Value> entries_;
};

inline uint64_t MixHash(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  x ^= x >> 33;
  return x;
}

}  // namespace poly
