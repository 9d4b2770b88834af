// An open-addressing hash map from exponent keys to the state of a class of
// rows with equal exponents. Keys and entries keep their insertion order in
// blocks of fixed size, which never move as the map grows: a large map does
// not hold its old and its new storage at once, and the untouched end of the
// last block costs no memory. The table holds indices into the blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace poly {

// Elements in blocks of kBlock; blocks are allocated without initialising
// plain elements, so that memory is taken as they are written.
template <class T>
class BlockArray {
 public:
  static constexpr size_t kShift = 12, kBlock = size_t{1} << kShift;

  size_t size() const { return size_; }
  T& operator[](size_t i) { return blocks_[i >> kShift][i & (kBlock - 1)]; }
  const T& operator[](size_t i) const { return blocks_[i >> kShift][i & (kBlock - 1)]; }
  void push_back(const T& value) {
    if ((size_ & (kBlock - 1)) == 0 && (size_ >> kShift) == blocks_.size())
      blocks_.emplace_back(new T[kBlock]);  // default-initialised: plain elements untouched
    (*this)[size_++] = value;
  }
  // Empties the array; `keep` blocks stay allocated for reuse.
  void clear(size_t keep) {
    size_ = 0;
    if (blocks_.size() > keep) blocks_.resize(keep);
  }
  void free() {
    size_ = 0;
    std::vector<std::unique_ptr<T[]>>().swap(blocks_);
  }

 private:
  std::vector<std::unique_ptr<T[]>> blocks_;
  size_t size_ = 0;
};

template <class Key, class Value, class Traits>
class ClassMap {
 public:
  explicit ClassMap(size_t expected = 16) { Reset(expected); }

  // Empties the map for about `expected` entries, keeping storage for as
  // many as it held before (up to that many).
  void Reset(size_t expected) {
    records_.clear((expected + BlockArray<Record>::kBlock - 1) >> BlockArray<Record>::kShift);
    Rehash(Capacity(expected));
  }

  // The entry for the key, created with init when absent; inserted tells which.
  Value& Find(const Key& key, const Value& init, bool& inserted) {
    return Find(key, Traits::Hash(key), init, inserted);
  }
  // The same, with the key's hash given.
  Value& Find(const Key& key, uint64_t hash, const Value& init, bool& inserted) {
    if ((records_.size() + 1) * 2 > slots_.size()) Rehash(slots_.size() * 2);
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      uint32_t s = slots_[i];
      if (s == kEmpty) {
        slots_[i] = static_cast<uint32_t>(records_.size());
        records_.push_back(Record{key, init});
        inserted = true;
        return records_[records_.size() - 1].value;
      }
      Record& r = records_[s];
      if (Traits::Equal(r.key, key)) {
        inserted = false;
        return r.value;
      }
    }
  }
  // The entry for the key, or null.
  Value* Lookup(const Key& key) {
    size_t mask = slots_.size() - 1;
    for (size_t i = Traits::Hash(key) & mask;; i = (i + 1) & mask) {
      uint32_t s = slots_[i];
      if (s == kEmpty) return nullptr;
      if (Traits::Equal(records_[s].key, key)) return &records_[s].value;
    }
  }

  // Hints for a key that Find will be asked for soon: first its place in
  // the table, then (once that is at hand) the entry it holds, so that a
  // run of finds waits for memory once instead of once each.
  void PrefetchSlot(uint64_t hash) const { __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]); }
  void PrefetchEntry(uint64_t hash) const {
    const uint32_t s = slots_[hash & (slots_.size() - 1)];
    if (s != kEmpty && s < records_.size()) __builtin_prefetch(&records_[s]);
  }

  // Frees the table: the entries can still be read, no longer found.
  void DropTable() { std::vector<uint32_t>().swap(slots_); }
  // Frees everything.
  void Free() {
    DropTable();
    records_.free();
  }

  size_t size() const { return records_.size(); }
  const Key& key(size_t i) const { return records_[i].key; }
  Value& value(size_t i) { return records_[i].value; }
  const Value& value(size_t i) const { return records_[i].value; }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

  // A key and its entry side by side: a find that meets the key has the
  // entry at hand.
  struct Record {
    Key key;
    Value value;
  };

  static size_t Capacity(size_t expected) {
    size_t c = 16;
    while (c < expected * 2) c <<= 1;
    return c;
  }

  void Rehash(size_t capacity) {
    std::vector<uint32_t>().swap(slots_);  // the old table goes before the new one is made
    slots_.assign(capacity, kEmpty);
    size_t mask = capacity - 1;
    for (size_t e = 0; e < records_.size(); ++e) {
      size_t i = Traits::Hash(records_[e].key) & mask;
      while (slots_[i] != kEmpty) i = (i + 1) & mask;
      slots_[i] = static_cast<uint32_t>(e);
    }
  }

  std::vector<uint32_t> slots_;
  BlockArray<Record> records_;
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
