#include "app/polynomial/exchange_order.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace poly {
namespace {

// Maximum tree over the keys: finds the first position at or after a start
// whose key is strictly greater than a value.
class MaxTree {
 public:
  explicit MaxTree(const std::vector<double>& keys) : n_(keys.size()) {
    size_ = 1;
    while (size_ < n_) size_ <<= 1;
    tree_.assign(2 * size_, kNone);
    for (size_t i = 0; i < n_; ++i) tree_[size_ + i] = keys[i];
    for (size_t i = size_ - 1; i >= 1; --i) tree_[i] = std::max(tree_[2 * i], tree_[2 * i + 1]);
  }

  void Set(size_t pos, double key) {
    size_t i = size_ + pos;
    tree_[i] = key;
    for (i >>= 1; i >= 1; i >>= 1) tree_[i] = std::max(tree_[2 * i], tree_[2 * i + 1]);
  }

  // The first position >= from with a key > v, or npos: climb from the leaf
  // to the first subtree to its right that holds a greater key, then descend.
  size_t FirstGreater(size_t from, double v) const {
    if (from >= n_) return npos;
    size_t i = size_ + from;
    while (!(tree_[i] > v)) {
      while (i & 1) i >>= 1;  // past the last subtree on this level
      if (i == 0) return npos;
      ++i;
    }
    while (i < size_) {
      i *= 2;
      if (!(tree_[i] > v)) ++i;
    }
    return i - size_;
  }

  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  static constexpr double kNone = -std::numeric_limits<double>::infinity();

  size_t n_;
  size_t size_;
  std::vector<double> tree_;
};

// For few distinct keys: per rank r a bitset of the positions whose key has
// rank r or more, with a summary bit per non-empty word. The next greater key
// after a position is then the next set bit in one bitset.
class RankIndex {
 public:
  RankIndex(const std::vector<uint32_t>& ranks, uint32_t count)
      : n_(ranks.size()), ranks_(ranks), words_((n_ + 63) / 64), bits_(count), summary_(count) {
    for (uint32_t r = 1; r < count; ++r) {
      bits_[r].assign(words_, 0);
      summary_[r].assign((words_ + 63) / 64, 0);
    }
    for (size_t p = 0; p < n_; ++p)
      for (uint32_t r = 1; r <= ranks_[p]; ++r) Add(r, p);
  }

  // The first position >= from whose rank is greater than v, or npos.
  size_t FirstGreater(size_t from, uint32_t v) const {
    uint32_t r = v + 1;
    if (r >= bits_.size() || from >= n_) return npos;
    const std::vector<uint64_t>& bits = bits_[r];
    size_t w = from / 64;
    uint64_t word = bits[w] & (~uint64_t{0} << (from % 64));
    if (word) return w * 64 + __builtin_ctzll(word);
    size_t next = w + 1;
    if (next >= words_) return npos;
    const std::vector<uint64_t>& summary = summary_[r];
    size_t s = next / 64;
    uint64_t sword = summary[s] & (~uint64_t{0} << (next % 64));
    while (!sword) {
      if (++s >= summary.size()) return npos;
      sword = summary[s];
    }
    size_t found = s * 64 + __builtin_ctzll(sword);
    return found * 64 + __builtin_ctzll(bits[found]);
  }

  void Set(size_t p, uint32_t rank) {
    uint32_t old = ranks_[p];
    for (uint32_t r = old + 1; r <= rank; ++r) Add(r, p);
    for (uint32_t r = rank + 1; r <= old; ++r) Remove(r, p);
    ranks_[p] = rank;
  }

  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  void Add(uint32_t r, size_t p) {
    bits_[r][p / 64] |= uint64_t{1} << (p % 64);
    summary_[r][p / 4096] |= uint64_t{1} << ((p / 64) % 64);
  }
  void Remove(uint32_t r, size_t p) {
    uint64_t& word = bits_[r][p / 64];
    word &= ~(uint64_t{1} << (p % 64));
    if (!word) summary_[r][p / 4096] &= ~(uint64_t{1} << ((p / 64) % 64));
  }

  size_t n_;
  std::vector<uint32_t> ranks_;
  size_t words_;
  std::vector<std::vector<uint64_t>> bits_, summary_;
};

// One exchange-sort pass: position i takes the last of the chain of strict
// maxima after it; every other member of the chain moves one step along it.
template <class Index, class Key>
void Pass(std::vector<size_t>& order, std::vector<Key>& keys, Index& index) {
  const size_t n = order.size();
  std::vector<size_t> chain;
  for (size_t i = 0; i + 1 < n; ++i) {
    chain.clear();
    chain.push_back(i);
    for (size_t q = index.FirstGreater(i + 1, keys[i]); q != Index::npos;
         q = index.FirstGreater(q + 1, keys[q])) {
      chain.push_back(q);
    }
    if (chain.size() == 1) continue;
    size_t lastRow = order[chain.back()];
    Key lastKey = keys[chain.back()];
    for (size_t t = chain.size() - 1; t >= 1; --t) {
      order[chain[t]] = order[chain[t - 1]];
      keys[chain[t]] = keys[chain[t - 1]];
      index.Set(chain[t], keys[chain[t]]);
    }
    order[i] = lastRow;
    keys[i] = lastKey;
    index.Set(i, lastKey);
  }
}

}  // namespace

void ExchangeSortPasses(AnswerRows& rows) {
  const size_t n = rows.count();
  const int cols = rows.columns();
  if (n < 2) return;
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::vector<double> keys(n), distinct;
  std::vector<uint32_t> ranks(n);
  for (int column : OrderingColumns(rows.letterCount)) {
    for (size_t p = 0; p < n; ++p) keys[p] = rows.row(order[p])[column];
    distinct = keys;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() <= 64) {
      for (size_t p = 0; p < n; ++p)
        ranks[p] = static_cast<uint32_t>(std::lower_bound(distinct.begin(), distinct.end(), keys[p]) -
                                         distinct.begin());
      RankIndex index(ranks, static_cast<uint32_t>(distinct.size()));
      Pass(order, ranks, index);
    } else {
      MaxTree tree(keys);
      Pass(order, keys, tree);
    }
  }
  std::vector<double> sorted;
  sorted.reserve(rows.cells.size());
  for (size_t p = 0; p < n; ++p) sorted.insert(sorted.end(), rows.row(order[p]), rows.row(order[p]) + cols);
  rows.cells.swap(sorted);
}

void LiteralExchangePass(AnswerRows& rows, int column) {
  const size_t n = rows.count();
  const int cols = rows.columns();
  for (size_t i = 0; i + 1 < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (rows.cells[j * cols + column] > rows.cells[i * cols + column])
        for (int c = 0; c < cols; ++c) std::swap(rows.cells[i * cols + c], rows.cells[j * cols + c]);
}

}  // namespace poly
