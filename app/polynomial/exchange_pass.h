// One exchange-sort pass over the rows of an answer, in near-linear time:
// the order that the literal pass "for i, for j > i, swap rows i and j when
// key(j) > key(i)" leaves, found without its quadratic cost.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace poly::exchange {

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

}  // namespace poly::exchange
