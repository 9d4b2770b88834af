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
// their count. Exponents are mostly small whole numbers, which index a table
// at once; other keys are ranked by sorting. Zero and negative zero are one
// key, as they compare equal.
uint32_t RankKeys(const std::vector<double>& keys, std::vector<Pos>& ranks, std::vector<double>& distinct) {
  constexpr int kTable = 1024;
  int32_t table[kTable];
  std::fill_n(table, kTable, -1);
  bool small = true;
  for (double k : keys) {
    if (!(k >= 0 && k < kTable && k == std::floor(k))) {
      small = false;
      break;
    }
    table[static_cast<int>(k)] = 0;
  }
  uint32_t count = 0;
  if (small) {
    for (int32_t& t : table)
      if (t == 0) t = static_cast<int32_t>(count++);
    for (size_t p = 0; p < keys.size(); ++p) ranks[p] = static_cast<Pos>(table[static_cast<int>(keys[p])]);
    return count;
  }
  distinct = keys;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  for (size_t p = 0; p < keys.size(); ++p)
    ranks[p] = static_cast<Pos>(std::lower_bound(distinct.begin(), distinct.end(), keys[p]) - distinct.begin());
  return static_cast<uint32_t>(distinct.size());
}

// The order in which k rows of one key leave a pass. The rows of that key
// and of greater keys behave as a queue on their own (smaller keys only fill
// the gaps between them): the rows of the key gather in a run, each greater
// row met after the run has begun moves the run's first row to its end, and
// when no greater row is left the run comes out as it stands. rotations[s]
// is the number of greater rows met after the run's (s+1)-th row joined it.
class RunOrder {
 public:
  // Writes, for t = 0..k-1, the index (0..k-1) of the row that comes out
  // t-th. Returns the work done, for the window's service.
  size_t Order(const std::vector<Pos>& rotations, size_t k, Pos* out) {
    // A rotation by r of a run of s costs min(r, s - r) moves; when their sum
    // is far beyond k log k the run is placed from its end instead.
    size_t moves = 0;
    for (size_t s = 1; s <= k; ++s) {
      const size_t r = rotations[s - 1] % s;
      moves += std::min(r, s - r);
    }
    size_t logK = 1;
    while ((size_t{1} << logK) < k) ++logK;
    if (moves <= 4 * k * logK) {
      Forward(rotations, k, out);
      return k + moves;
    }
    Backward(rotations, k, out);
    return k * logK;
  }

 private:
  // The run lives in a ring of 2k slots, from `first` for `size` slots, so
  // that a rotation moves its shorter end across the free slots.
  void Forward(const std::vector<Pos>& rotations, size_t k, Pos* out) {
    const size_t cap = 2 * k;
    ring_.resize(cap);
    size_t first = 0;
    for (size_t s = 1; s <= k; ++s) {
      ring_[(first + s - 1) % cap] = static_cast<Pos>(s - 1);
      const size_t r = rotations[s - 1] % s;
      if (r == 0) continue;
      if (r <= s - r) {
        for (size_t t = 0; t < r; ++t) ring_[(first + s + t) % cap] = ring_[(first + t) % cap];
        first = (first + r) % cap;
      } else {
        const size_t back = s - r;
        for (size_t t = 1; t <= back; ++t) ring_[(first + cap - t) % cap] = ring_[(first + s - t) % cap];
        first = (first + cap - back) % cap;
      }
    }
    for (size_t t = 0; t < k; ++t) out[t] = ring_[(first + t) % cap];
  }

  // From the last row to join back to the first. The s-th row joined a run
  // of s-1 at its end and the run was rotated left by r, so that row stands
  // at (s-1-r) mod s; without it, the run is the earlier run rotated by r.
  // The free places of the final order, read in order, hold the run rotated
  // by `shift`; a counting tree over them finds the row's place.
  void Backward(const std::vector<Pos>& rotations, size_t k, Pos* out) {
    free_.Reset(k);
    for (size_t t = 0; t < k; ++t) free_.Add(t, 1);
    size_t shift = 0;
    for (size_t s = k; s >= 1; --s) {
      const size_t r = rotations[s - 1] % s;
      const size_t inRun = (s - 1 + s - r) % s;
      const size_t place = (inRun + s - shift) % s;
      const size_t slot = free_.Select(static_cast<int32_t>(place));
      out[slot] = static_cast<Pos>(s - 1);
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

// One exchange-sort pass over the rows at their current positions. Position
// i ends holding the greatest key at or after it, so the keys come out in
// non-increasing order; what the pass decides is the order of rows with
// equal keys, which RunOrder finds key by key in near-linear time.
class ExchangePass {
 public:
  // order[p] is the row at position p and keys[p] its key; reorders `order`.
  void Run(std::vector<Pos>& order, const std::vector<double>& keys, Server& server) {
    const size_t n = order.size();
    for (double k : keys)
      if (std::isnan(k)) {
        std::vector<double> copy = keys;
        LiteralPass(order, copy, server);
        return;
      }
    ranks_.resize(n);
    const uint32_t count = RankKeys(keys, ranks_, distinct_);
    // For each position, the rows after it with a greater key.
    after_.resize(n);
    greater_.Reset(count);
    for (size_t p = n; p-- > 0;) {
      server.Step();
      after_[p] = static_cast<Pos>(n - 1 - p - static_cast<size_t>(greater_.Prefix(ranks_[p] + 1)));
      greater_.Add(ranks_[p], 1);
    }
    // The positions by key, greatest first, each key's by position.
    start_.assign(count + 1, 0);
    for (size_t p = 0; p < n; ++p) ++start_[count - ranks_[p]];
    for (uint32_t b = 0; b < count; ++b) start_[b + 1] += start_[b];
    cursor_.assign(start_.begin(), start_.end() - 1);
    byKey_.resize(n);
    for (size_t p = 0; p < n; ++p) byKey_[cursor_[count - 1 - ranks_[p]]++] = static_cast<Pos>(p);
    next_.resize(n);
    for (uint32_t b = 0; b < count; ++b) {
      const size_t lo = start_[b], k = start_[b + 1] - lo;
      const Pos* at = byKey_.data() + lo;
      if (k == 1) {
        next_[lo] = order[at[0]];
        continue;
      }
      rotations_.resize(k);
      for (size_t j = 0; j < k; ++j) rotations_[j] = after_[at[j]] - (j + 1 < k ? after_[at[j + 1]] : 0);
      runOut_.resize(k);
      server.Step(run_.Order(rotations_, k, runOut_.data()));
      for (size_t t = 0; t < k; ++t) next_[lo + t] = order[at[runOut_[t]]];
    }
    order.swap(next_);
  }

 private:
  std::vector<Pos> ranks_, after_, start_, cursor_, byKey_, next_, rotations_, runOut_;
  std::vector<double> distinct_;
  Fenwick greater_;
  RunOrder run_;
};

}  // namespace

void ExchangeSortPasses(AnswerRows& rows, const std::function<void()>& keepServed) {
  const size_t n = rows.count();
  const size_t cols = static_cast<size_t>(rows.columns());
  if (n < 2) return;
  if (n > UINT32_MAX) throw std::bad_alloc();
  Server server(keepServed);
  std::vector<Pos> order(n);
  for (size_t p = 0; p < n; ++p) order[p] = static_cast<Pos>(p);
  std::vector<double> keys(n);
  ExchangePass pass;
  for (int c : OrderingColumns(rows.letterCount)) {
    const double* cells = rows.cells.data() + c;
    for (size_t p = 0; p < n; ++p) keys[p] = cells[order[p] * cols];
    pass.Run(order, keys, server);
  }
  // Position p takes row order[p]: the rows move in place along the cycles
  // of the permutation, each cycle through one spare row.
  constexpr Pos kDone = UINT32_MAX;
  std::vector<double> spare(cols);
  double* cells = rows.cells.data();
  for (size_t start = 0; start < n; ++start) {
    server.Step();
    if (order[start] == start || order[start] == kDone) continue;
    std::copy_n(cells + start * cols, cols, spare.data());
    size_t p = start;
    while (order[p] != start) {
      server.Step();
      const size_t from = order[p];
      std::copy_n(cells + from * cols, cols, cells + p * cols);
      order[p] = kDone;
      p = from;
    }
    std::copy_n(spare.data(), cols, cells + p * cols);
    order[p] = kDone;
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
