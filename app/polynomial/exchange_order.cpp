#include "app/polynomial/exchange_order.h"

#include "app/polynomial/exchange_pass.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace poly {
namespace {

using exchange::ExchangePass;
using exchange::Pos;
using exchange::Server;

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
