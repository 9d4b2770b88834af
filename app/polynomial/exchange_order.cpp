#include "app/polynomial/exchange_order.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace poly {
namespace {

// Calls the caller's keepServed once every kServeEvery steps of work.
class Server {
 public:
  explicit Server(const std::function<void()>& keepServed) : keepServed_(keepServed) {}
  void Step() {
    if (++steps_ == kServeEvery) {
      steps_ = 0;
      if (keepServed_) keepServed_();
    }
  }

 private:
  static constexpr int kServeEvery = 256;
  const std::function<void()>& keepServed_;
  int steps_ = 0;
};

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

// For few distinct keys. Every member of a chain holds the first occurrence
// of its key among the positions not yet done (the first position after i
// with a greater key is the earliest first occurrence of any greater key,
// and so on up). So the chain from key v is read off the first occurrences:
// it is every rank u above v whose first occurrence comes before that of
// every rank above u. Each key keeps its positions in a bitset with a
// summary bit per non-empty word, so that its next occurrence after a
// position is found at once.
class FirstOccurrences {
 public:
  FirstOccurrences(const std::vector<uint32_t>& ranks, uint32_t count)
      : n_(ranks.size()), words_((n_ + 63) / 64), bits_(count), summary_(count), first_(count, n_) {
    for (uint32_t r = 0; r < count; ++r) {
      bits_[r].assign(words_, 0);
      summary_[r].assign((words_ + 63) / 64, 0);
    }
    for (size_t p = n_; p-- > 0;) {
      Add(ranks[p], p);
      first_[ranks[p]] = p;
    }
  }

  // The chain from position i, whose key has rank v: its positions and
  // ranks (i and v first), each the first occurrence of its rank.
  void Chain(size_t i, uint32_t v, std::vector<size_t>& positions, std::vector<uint32_t>& ranks) const {
    // From the top rank down, the ranks whose first occurrence is earlier
    // than any seen so far.
    uint64_t members = 0;
    size_t earliest = n_;
    for (uint32_t u = static_cast<uint32_t>(first_.size()); u-- > v + 1;) {
      const size_t f = first_[u];
      if (f < earliest) {
        earliest = f;
        members |= uint64_t{1} << u;
      }
    }
    positions.assign(1, i);
    ranks.assign(1, v);
    for (; members; members &= members - 1) {
      const uint32_t r = static_cast<uint32_t>(__builtin_ctzll(members));
      positions.push_back(first_[r]);
      ranks.push_back(r);
    }
  }

  // Moves the key of rank r from its first occurrence `from` to `to` (n for
  // none: position i, which is done).
  void Move(uint32_t r, size_t from, size_t to) {
    Remove(r, from);
    if (to < n_) Add(r, to);
    first_[r] = Next(r, from);
  }

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
  // The first position >= from holding rank r, or n.
  size_t Next(uint32_t r, size_t from) const {
    if (from >= n_) return n_;
    const std::vector<uint64_t>& bits = bits_[r];
    size_t w = from / 64;
    uint64_t word = bits[w] & (~uint64_t{0} << (from % 64));
    if (word) return w * 64 + __builtin_ctzll(word);
    size_t next = w + 1;
    if (next >= words_) return n_;
    const std::vector<uint64_t>& summary = summary_[r];
    size_t s = next / 64;
    uint64_t sword = summary[s] & (~uint64_t{0} << (next % 64));
    while (!sword) {
      if (++s >= summary.size()) return n_;
      sword = summary[s];
    }
    size_t found = s * 64 + __builtin_ctzll(sword);
    return found * 64 + __builtin_ctzll(bits[found]);
  }

  size_t n_, words_;
  std::vector<std::vector<uint64_t>> bits_, summary_;
  std::vector<size_t> first_;  // per rank, its first position (n when it has none)
};

// The rows rotate along a chain: each member's row moves to the next member,
// and the last one's comes to i.
template <class Key>
void Rotate(std::vector<size_t>& order, std::vector<Key>& keys, const std::vector<size_t>& chain) {
  const size_t lastRow = order[chain.back()];
  const Key lastKey = keys[chain.back()];
  for (size_t t = chain.size() - 1; t >= 1; --t) {
    order[chain[t]] = order[chain[t - 1]];
    keys[chain[t]] = keys[chain[t - 1]];
  }
  order[chain[0]] = lastRow;
  keys[chain[0]] = lastKey;
}

void FewKeysPass(std::vector<size_t>& order, std::vector<uint32_t>& ranks, uint32_t count, Server& server) {
  FirstOccurrences first(ranks, count);
  std::vector<size_t> chain;
  std::vector<uint32_t> chainRanks;
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    server.Step();
    first.Chain(i, ranks[i], chain, chainRanks);
    for (size_t t = 0; t + 1 < chain.size(); ++t) first.Move(chainRanks[t], chain[t], chain[t + 1]);
    first.Move(chainRanks.back(), chain.back(), order.size());
    if (chain.size() > 1) Rotate(order, ranks, chain);
  }
}

// One exchange-sort pass: position i takes the last of the chain of strict
// maxima after it; every other member of the chain moves one step along it.
template <class Index, class Key>
void Pass(std::vector<size_t>& order, std::vector<Key>& keys, Index& index, Server& server) {
  const size_t n = order.size();
  std::vector<size_t> chain;
  for (size_t i = 0; i + 1 < n; ++i) {
    server.Step();
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

// The rank of each key among the distinct keys (0 for the smallest), and
// their count; false when there are more than 64. Exponents are mostly small
// whole numbers, which index a table at once; other keys are placed by
// search in the sorted distinct keys.
bool RankFewKeys(const std::vector<double>& keys, std::vector<uint32_t>& ranks, uint32_t& count) {
  constexpr int kTable = 1024;
  std::vector<int32_t> table(kTable, -1);
  bool small = true;
  for (double k : keys) {
    if (!(k >= 0 && k < kTable && k == std::floor(k))) {
      small = false;
      break;
    }
    table[static_cast<int>(k)] = 0;
  }
  count = 0;
  if (small) {
    for (int32_t& t : table)
      if (t == 0) t = static_cast<int32_t>(count++);
    if (count > 64) return false;
    for (size_t r = 0; r < keys.size(); ++r) ranks[r] = static_cast<uint32_t>(table[static_cast<int>(keys[r])]);
    return true;
  }
  std::vector<double> distinct;
  for (double k : keys) {
    auto at = std::lower_bound(distinct.begin(), distinct.end(), k);
    if (at != distinct.end() && *at == k) continue;
    if (distinct.size() == 64) return false;
    distinct.insert(at, k);
  }
  count = static_cast<uint32_t>(distinct.size());
  for (size_t r = 0; r < keys.size(); ++r)
    ranks[r] = static_cast<uint32_t>(std::lower_bound(distinct.begin(), distinct.end(), keys[r]) - distinct.begin());
  return true;
}

}  // namespace

void ExchangeSortPasses(AnswerRows& rows, const std::function<void()>& keepServed) {
  const size_t n = rows.count();
  const size_t cols = static_cast<size_t>(rows.columns());
  if (n < 2) return;
  Server server(keepServed);
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  // Each pass reads one column of the rows in their current order: taken out
  // row by row first, it is gathered from a compact array.
  std::vector<double> column(n), keys(n);
  std::vector<uint32_t> rowRanks(n), ranks(n);
  for (int c : OrderingColumns(rows.letterCount)) {
    const double* cells = rows.cells.data() + c;
    for (size_t r = 0; r < n; ++r) column[r] = cells[r * cols];
    uint32_t count;
    if (RankFewKeys(column, rowRanks, count)) {
      for (size_t p = 0; p < n; ++p) ranks[p] = rowRanks[order[p]];
      FewKeysPass(order, ranks, count, server);
    } else {
      for (size_t p = 0; p < n; ++p) keys[p] = column[order[p]];
      MaxTree tree(keys);
      Pass(order, keys, tree, server);
    }
  }
  // Position p takes row order[p]: the rows move in place along the cycles
  // of the permutation, each cycle through one spare row.
  std::vector<double> spare(cols);
  double* cells = rows.cells.data();
  for (size_t start = 0; start < n; ++start) {
    server.Step();
    if (order[start] == start || order[start] == n) continue;
    std::copy_n(cells + start * cols, cols, spare.data());
    size_t p = start;
    while (order[p] != start) {
      server.Step();
      const size_t from = order[p];
      std::copy_n(cells + from * cols, cols, cells + p * cols);
      order[p] = n;  // done
      p = from;
    }
    std::copy_n(spare.data(), cols, cells + p * cols);
    order[p] = n;
  }
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
