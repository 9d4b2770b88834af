#include "app/polynomial/exchange_order.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace poly {
namespace {

// Positions and ranks are 32-bit: an answer of 2^32 rows would not fit in
// memory long before.
using Pos = uint32_t;

// Calls the caller's keepServed once every kServeEvery steps of work.
class Server {
 public:
  explicit Server(const std::function<void()>& keepServed) : keepServed_(keepServed) {}
  void Step(size_t steps = 1) {
    steps_ += steps;
    while (steps_ >= kServeEvery) {
      steps_ -= kServeEvery;
      if (keepServed_) keepServed_();
    }
  }

 private:
  static constexpr size_t kServeEvery = 256;
  const std::function<void()>& keepServed_;
  size_t steps_ = 0;
};

// Counts over ranks or slots that can be added to and summed in log time.
class Fenwick {
 public:
  void Reset(size_t size) { tree_.assign(size + 1, 0); }
  void Add(size_t at, int32_t delta) {
    for (size_t i = at + 1; i < tree_.size(); i += i & (0 - i)) tree_[i] += delta;
  }
  // The sum over 0..at-1.
  int32_t Prefix(size_t at) const {
    int32_t sum = 0;
    for (size_t i = at; i > 0; i -= i & (0 - i)) sum += tree_[i];
    return sum;
  }
  // The smallest index whose prefix sum through it reaches k + 1 (the k-th
  // index holding a 1, counting from 0), when every count is 0 or 1.
  size_t Select(int32_t k) const {
    size_t at = 0;
    size_t step = 1;
    while (step * 2 < tree_.size()) step *= 2;
    for (; step; step /= 2) {
      if (at + step < tree_.size() && tree_[at + step] <= k) {
        at += step;
        k -= tree_[at];
      }
    }
    return at;
  }

 private:
  std::vector<int32_t> tree_;
};

// The rank of each key among the distinct keys, 0 for the smallest, and
// their count, by sorting. Zero and negative zero are one key, as they
// compare equal.
template <class Key>
uint32_t RankBySorting(const std::vector<Key>& keys, std::vector<Pos>& ranks, Server& server) {
  std::vector<std::pair<Key, Pos>> sorted(keys.size());
  for (size_t r = 0; r < keys.size(); ++r) sorted[r] = {keys[r], static_cast<Pos>(r)};
  // A large sort serves the window as it goes, a step per few comparisons.
  uint32_t comparisons = 0;
  std::sort(sorted.begin(), sorted.end(), [&](const std::pair<Key, Pos>& a, const std::pair<Key, Pos>& b) {
    if ((++comparisons & 15) == 0) server.Step();
    return a.first < b.first;
  });
  uint32_t rank = 0;
  for (size_t i = 0; i < sorted.size(); ++i) {
    if (i > 0 && !(sorted[i].first == sorted[i - 1].first)) ++rank;
    ranks[sorted[i].second] = rank;
  }
  return sorted.empty() ? 0 : rank + 1;
}

// Ranks of keys that are small whole numbers: the numbers themselves (ranks
// that no key has are simply empty). Returns 0 when a key is not one.
constexpr uint64_t kDirectRanks = 1 << 16;

uint32_t RankDirectly(const std::vector<double>& keys, std::vector<Pos>& ranks) {
  double most = 0;
  for (size_t p = 0; p < keys.size(); ++p) {
    const double k = keys[p];
    if (!(k >= 0 && k < static_cast<double>(kDirectRanks))) return 0;
    const Pos r = static_cast<Pos>(k);
    if (r != k) return 0;
    ranks[p] = r;
    most = std::max(most, k);
  }
  return static_cast<uint32_t>(most) + 1;
}

// The order in which k rows of one key leave a pass. The rows of that key
// and of greater keys behave as a queue on their own (smaller keys only fill
// the gaps between them): the rows of the key gather in a run, each greater
// row met after the run has begun moves the run's first row to its end, and
// when no greater row is left the run comes out as it stands. rotations[s]
// is the number of greater rows met after the run's (s+1)-th row joined it.
class RunOrder {
 public:
  // items[s] is the (s+1)-th row to join the run; writes the rows to `out`
  // in the order they come out. Returns the work done, for the window's
  // service. The rotations are reduced modulo the run's length in place.
  size_t Order(Pos* rotations, const Pos* items, size_t k, Pos* out) {
    // A rotation by r of a run of s costs min(r, s - r) moves; when their sum
    // goes far beyond k log k the run is placed from its end instead.
    uint64_t logK = 1;
    while ((uint64_t{1} << logK) < k) ++logK;
    const uint64_t budget = 4 * uint64_t{k} * logK;  // 64 bits also where size_t has 32
    const size_t moves = Forward(rotations, items, k, out, budget);
    if (moves != kTooMany) return k + moves;
    Backward(rotations, items, k, out);
    return static_cast<size_t>(k * logK);
  }

 private:
  static constexpr size_t kTooMany = ~size_t{0};

  // The run lives in a ring of at least 2k slots (a power of two), from
  // `first` for s slots, so that a rotation moves its shorter end across the
  // free slots.
  size_t Forward(Pos* rotations, const Pos* items, size_t k, Pos* out, uint64_t budget) {
    size_t cap = 2;
    while (cap < 2 * k) cap *= 2;
    if (ring_.size() < cap) ring_.resize(cap);
    Pos* ring = ring_.data();
    auto wrap = [mask = cap - 1](size_t i) { return i & mask; };
    size_t first = 0, moves = 0;
    for (Pos s = 1; s <= k; ++s) {
      ring[wrap(first + s - 1)] = items[s - 1];
      Pos r = rotations[s - 1];
      if (r == 0) continue;
      if (r >= s) rotations[s - 1] = r %= s;
      if (r <= s - r) {
        for (size_t t = 0; t < r; ++t) ring[wrap(first + s + t)] = ring[wrap(first + t)];
        first = wrap(first + r);
        moves += r;
      } else {
        const size_t back = s - r;
        for (size_t t = 1; t <= back; ++t) ring[wrap(first + cap - t)] = ring[wrap(first + s - t)];
        first = wrap(first + cap - back);
        moves += back;
      }
      if (moves > budget) return kTooMany;
    }
    for (size_t t = 0; t < k; ++t) out[t] = ring[wrap(first + t)];
    return moves;
  }

  // From the last row to join back to the first. The s-th row joined a run
  // of s-1 at its end and the run was rotated left by r, so that row stands
  // at (s-1-r) mod s; without it, the run is the earlier run rotated by r.
  // The free places of the final order, read in order, hold the run rotated
  // by `shift`; a counting tree over them finds the row's place.
  void Backward(const Pos* rotations, const Pos* items, size_t k, Pos* out) {
    free_.Reset(k);
    for (size_t t = 0; t < k; ++t) free_.Add(t, 1);
    size_t shift = 0;
    for (size_t s = k; s >= 1; --s) {
      const size_t r = rotations[s - 1] % s;
      const size_t inRun = (s - 1 + s - r) % s;
      const size_t place = (inRun + s - shift) % s;
      const size_t slot = free_.Select(static_cast<int32_t>(place));
      out[slot] = items[s - 1];
      free_.Add(slot, -1);
      if (s == 1) break;
      // The free places left begin at run index `shift`, or at the next one
      // when the row stood there; without the row, that index is one less
      // past it, and the earlier run is rotated by r against it.
      const size_t start = place == 0 ? (shift + 1) % s : shift;
      const size_t startWithout = start > inRun ? start - 1 : start;
      shift = (startWithout + r) % (s - 1);
    }
  }

  std::vector<Pos> ring_;
  Fenwick free_;
};

// One literal exchange-sort pass over the keys, for keys that are not all
// numbers (a NaN compares with nothing, and the passes' outcome then has no
// shape to exploit).
void LiteralPass(std::vector<Pos>& order, std::vector<double>& keys, Server& server) {
  const size_t n = order.size();
  for (size_t i = 0; i + 1 < n; ++i) {
    server.Step(n - i);
    for (size_t j = i + 1; j < n; ++j)
      if (keys[j] > keys[i]) {
        std::swap(keys[i], keys[j]);
        std::swap(order[i], order[j]);
      }
  }
}

// Counts of the rows met so far by rank, asked how many have a rank above a
// given one. Few ranks keep the count at or above each rank at hand; many
// take a counting tree.
class GreaterCounts {
 public:
  void Reset(uint32_t count) {
    few_ = count <= 32;
    if (few_) atLeast_.assign(count + 1, 0);
    else tree_.Reset(count), seen_ = 0;
  }
  void Add(Pos rank) {
    if (few_) {
      for (Pos r = 0; r <= rank; ++r) ++atLeast_[r];
    } else {
      tree_.Add(rank, 1);
      ++seen_;
    }
  }
  Pos Above(Pos rank) const {
    return few_ ? atLeast_[rank + 1] : static_cast<Pos>(seen_ - static_cast<size_t>(tree_.Prefix(rank + 1)));
  }

 private:
  bool few_ = true;
  std::vector<Pos> atLeast_;
  Fenwick tree_;
  size_t seen_ = 0;
};

// One exchange-sort pass over the rows at their current positions. Position
// i ends holding the greatest key at or after it, so the keys come out in
// non-increasing order; what the pass decides is the order of rows with
// equal keys, which RunOrder finds key by key in near-linear time.
class ExchangePass {
 public:
  // order[p] is the row at position p, rowRanks[r] the rank of row r's key
  // among `count` ranks; reorders `order`. The ranks are read through
  // `order`, all over the array: narrow ranks keep it within the cache.
  template <class Rank>
  void Run(std::vector<Pos>& order, const std::vector<Rank>& rowRanks, uint32_t count, Server& server) {
    const size_t n = order.size();
    // Each key's rows take a stretch of the new order, greatest key first.
    // (Two tallies, so that runs of one key do not wait on each other.)
    end_.assign(2 * size_t{count}, 0);
    Pos* odd = end_.data() + count;
    size_t r = 0;
    for (; r + 1 < n; r += 2) {
      ++end_[rowRanks[r]];
      ++odd[rowRanks[r + 1]];
    }
    if (r < n) ++end_[rowRanks[r]];
    for (uint32_t rank = 0; rank < count; ++rank) end_[rank] += odd[rank];
    end_.resize(count);
    size_t filled = 0;
    for (uint32_t rank = count; rank-- > 0;) {
      if (end_[rank] == n) return;  // every key is equal: nothing moves
      filled += end_[rank];
      end_[rank] = static_cast<Pos>(filled);
    }
    // From the last position back: each row's rotation is the number of
    // greater rows between it and the next row of its key (or the end).
    // The rows fill their key's stretch from its end, in position order.
    greater_.Reset(count);
    lastAbove_.assign(count, 0);
    byKey_.resize(n);
    rotations_.resize(n);
    for (size_t p = n; p-- > 0;) {
      if ((p & 255) == 0) server.Step(256);
      const Pos row = order[p];
      const Pos rank = rowRanks[row];
      const Pos above = greater_.Above(rank);
      const Pos slot = --end_[rank];
      byKey_[slot] = row;
      rotations_[slot] = above - lastAbove_[rank];
      lastAbove_[rank] = above;
      greater_.Add(rank);
    }
    next_.resize(n);
    for (uint32_t rank = count; rank-- > 0;) {
      const size_t lo = end_[rank], k = (rank > 0 ? end_[rank - 1] : n) - lo;  // the next stretch is rank - 1's
      if (k == 0) continue;
      if (k == 1) {
        next_[lo] = byKey_[lo];
        continue;
      }
      server.Step(run_.Order(rotations_.data() + lo, byKey_.data() + lo, k, next_.data() + lo));
    }
    order.swap(next_);
  }

 private:
  std::vector<Pos> end_, lastAbove_, byKey_, rotations_, next_;
  GreaterCounts greater_;
  RunOrder run_;
};

// The exponents of one letter of compact rows, read straight through.
template <class Out>
void Fields(const AnswerRows& rows, size_t letter, Out* out) {
  const int shift = rows.packing.shift[letter], width = rows.packing.width[letter];
  const uint64_t mask = width >= 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
  const u128* keys = rows.keys.data();
  const size_t n = rows.keys.size();
  if (shift + width <= 64) {
    for (size_t r = 0; r < n; ++r) out[r] = static_cast<Out>((static_cast<uint64_t>(keys[r]) >> shift) & mask);
  } else if (shift >= 64) {
    for (size_t r = 0; r < n; ++r)
      out[r] = static_cast<Out>((static_cast<uint64_t>(keys[r] >> 64) >> (shift - 64)) & mask);
  } else {
    for (size_t r = 0; r < n; ++r) out[r] = static_cast<Out>(static_cast<uint64_t>(keys[r] >> shift) & mask);
  }
}

// The exponents of compact rows whose field is 8 bits or narrower, taken out
// several letters at a time in the order the passes ask for them: one read
// of the packed keys serves kGroup passes.
class NarrowFields {
 public:
  NarrowFields(const AnswerRows& rows, const std::vector<int>& columns) : rows_(rows) {
    if (!rows.compact) return;
    for (int c : columns) {
      const size_t letter = static_cast<size_t>(c - 2);
      const int width = rows.packing.width[letter];
      if (width > 0 && width <= 8) letters_.push_back(letter);
    }
  }

  const std::vector<uint8_t>& Of(size_t letter) {
    for (size_t j = 0; j < held_.size(); ++j)
      if (held_[j] == letter) return fields_[j];
    // This letter and the next ones the passes will ask for.
    const size_t from = static_cast<size_t>(std::find(letters_.begin(), letters_.end(), letter) - letters_.begin());
    held_.assign(letters_.begin() + static_cast<std::ptrdiff_t>(from),
                 letters_.begin() + static_cast<std::ptrdiff_t>(std::min(from + kGroup, letters_.size())));
    const size_t n = rows_.keys.size(), g = held_.size();
    fields_.resize(g);
    // Each field is read from the 64-bit half that holds it, or from the
    // whole key when it crosses bit 64.
    int shift[kGroup], half[kGroup];
    uint64_t mask[kGroup];
    bool crossing = false;
    for (size_t j = 0; j < g; ++j) {
      fields_[j].resize(n);
      const int at = rows_.packing.shift[held_[j]], width = rows_.packing.width[held_[j]];
      half[j] = at >= 64 ? 1 : 0;
      shift[j] = at - 64 * half[j];
      mask[j] = (uint64_t{1} << width) - 1;
      if (at < 64 && at + width > 64) crossing = true;
    }
    const u128* keys = rows_.keys.data();
    if (crossing) {
      for (size_t r = 0; r < n; ++r)
        for (size_t j = 0; j < g; ++j)
          fields_[j][r] = static_cast<uint8_t>(static_cast<uint64_t>(keys[r] >> (shift[j] + 64 * half[j])) & mask[j]);
    } else {
      for (size_t r = 0; r < n; ++r) {
        const uint64_t words[2] = {static_cast<uint64_t>(keys[r]), static_cast<uint64_t>(keys[r] >> 64)};
        for (size_t j = 0; j < g; ++j) fields_[j][r] = static_cast<uint8_t>((words[half[j]] >> shift[j]) & mask[j]);
      }
    }
    return fields_[0];
  }

 private:
  static constexpr size_t kGroup = 4;
  const AnswerRows& rows_;
  std::vector<size_t> letters_;  // the narrow letters, in the passes' order
  std::vector<size_t> held_;
  std::vector<std::vector<uint8_t>> fields_;
};

// Position p takes row order[p]: the rows move in place along the cycles of
// the permutation, each cycle through one spare row.
template <class Save, class Move, class Restore>
void MoveRows(std::vector<Pos>& order, Server& server, Save save, Move move, Restore restore) {
  constexpr Pos kDone = UINT32_MAX;
  const size_t n = order.size();
  for (size_t start = 0; start < n; ++start) {
    server.Step();
    if (order[start] == start || order[start] == kDone) continue;
    save(start);
    size_t p = start;
    while (order[p] != start) {
      server.Step();
      const size_t from = order[p];
      move(p, from);
      order[p] = kDone;
      p = from;
    }
    restore(p);
    order[p] = kDone;
  }
}

}  // namespace

void ExchangeSortPasses(AnswerRows& rows, const std::function<void()>& keepServed) {
  const size_t n = rows.count();
  const size_t cols = static_cast<size_t>(rows.columns());
  if (n < 2) return;
  if (n >= UINT32_MAX) throw std::bad_alloc();
  Server server(keepServed);
  std::vector<Pos> order(n);
  for (size_t p = 0; p < n; ++p) order[p] = static_cast<Pos>(p);
  {
    // Each pass ranks one column of the rows, read straight through.
    const std::vector<int> columns = OrderingColumns(rows.letterCount);
    NarrowFields narrowFields(rows, columns);
    std::vector<Pos> ranks;
    std::vector<uint8_t> narrow;
    ExchangePass pass;
    for (int c : columns) {
      uint32_t count = 0;
      if (rows.compact) {
        // The exponents themselves are the ranks, when their field is narrow.
        const size_t letter = static_cast<size_t>(c - 2);
        const int width = rows.packing.width[letter];
        if (width == 0) continue;  // the letter's exponents are all 0: nothing moves
        if (width <= 8) {
          pass.Run(order, narrowFields.Of(letter), 1u << width, server);
          continue;
        }
        ranks.resize(n);
        if (width <= 16) {
          Fields(rows, letter, ranks.data());
          count = 1u << width;
        } else {
          std::vector<uint64_t> column(n);
          Fields(rows, letter, column.data());
          count = RankBySorting(column, ranks, server);
        }
      } else {
        ranks.resize(n);
        std::vector<double> column(n);
        const double* cells = rows.cells.data() + c;
        for (size_t r = 0; r < n; ++r) column[r] = cells[r * cols];
        if (std::any_of(column.begin(), column.end(), [](double k) { return std::isnan(k); })) {
          std::vector<double> keys(n);
          for (size_t p = 0; p < n; ++p) keys[p] = column[order[p]];
          LiteralPass(order, keys, server);
          continue;
        }
        count = RankDirectly(column, ranks);
        if (count == 0) count = RankBySorting(column, ranks, server);
      }
      if (count <= 256) {
        narrow.resize(n);
        for (size_t r = 0; r < n; ++r) narrow[r] = static_cast<uint8_t>(ranks[r]);
        pass.Run(order, narrow, count, server);
      } else {
        pass.Run(order, ranks, count, server);
      }
    }
  }
  if (rows.compact) {
    // Gathered into new arrays: independent reads, where moving along the
    // cycles waits on each one.
    std::vector<int64_t> values(n);
    for (size_t p = 0; p < n; ++p) values[p] = rows.values[order[p]];
    rows.values.swap(values);
    std::vector<int64_t>().swap(values);
    std::vector<u128> keys(n);
    for (size_t p = 0; p < n; ++p) keys[p] = rows.keys[order[p]];
    rows.keys.swap(keys);
    return;
  }
  std::vector<double> spare(cols);
  double* cells = rows.cells.data();
  MoveRows(
      order, server, [&](size_t at) { std::copy_n(cells + at * cols, cols, spare.data()); },
      [&](size_t to, size_t from) { std::copy_n(cells + from * cols, cols, cells + to * cols); },
      [&](size_t at) { std::copy_n(spare.data(), cols, cells + at * cols); });
}

void LiteralExchangePass(AnswerRows& rows, int column) {
  if (rows.compact) {
    AnswerRows general;
    general.letterCount = rows.letterCount;
    general.cells = rows.Cells();
    rows = std::move(general);
  }
  const size_t n = rows.count();
  const int cols = rows.columns();
  for (size_t i = 0; i + 1 < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (rows.cells[j * cols + column] > rows.cells[i * cols + column])
        for (int c = 0; c < cols; ++c) std::swap(rows.cells[i * cols + c], rows.cells[j * cols + c]);
}

}  // namespace poly
