#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

#include "app/polynomial/exchange_order.h"
#include "gtest/gtest.h"

namespace poly {
namespace {

// The fast passes against the literal exchange sorts, on rows whose keys
// repeat often (where an unstable sort shows its order).
TEST(ExchangeOrder, MatchesTheLiteralPasses) {
  std::mt19937 rng(42);
  for (int round = 0; round < 600; ++round) {
    AnswerRows rows;
    rows.letterCount = 1 + static_cast<int>(rng() % 4);
    size_t n = rng() % 300;
    // Few distinct keys, and more than 64 (which takes the other index).
    int range = round % 3 == 0 ? 100 + static_cast<int>(rng() % 200) : 1 + static_cast<int>(rng() % 6);
    for (size_t i = 0; i < n; ++i) {
      rows.cells.push_back(1);
      rows.cells.push_back(static_cast<double>(i));  // identifies the row
      for (int k = 0; k < rows.letterCount; ++k) rows.cells.push_back(static_cast<double>(rng() % range));
    }
    AnswerRows literal = rows;
    for (int column = rows.columns() - 1; column >= 2; --column) LiteralExchangePass(literal, column);
    ExchangeSortPasses(rows);
    ASSERT_EQ(rows.cells, literal.cells) << "round " << round;
  }
}

// Around the switch between the two indexes (64 distinct keys), and long
// enough that the position bitsets span several summary words. Keys that
// are not whole numbers, and negative zero beside zero, compare as numbers.
TEST(ExchangeOrder, MatchesTheLiteralPassesAtTheIndexSwitchAndLength) {
  std::mt19937 rng(7);
  for (int round = 0; round < 12; ++round) {
    AnswerRows rows;
    rows.letterCount = 2;
    const size_t n = round < 8 ? 200 + rng() % 200 : 9000 + rng() % 1000;
    const int range = round < 8 ? 62 + round % 4 : 1 + static_cast<int>(rng() % 64);
    for (size_t i = 0; i < n; ++i) {
      rows.cells.insert(rows.cells.end(), {1, static_cast<double>(i)});
      for (int k = 0; k < 2; ++k) {
        double key = static_cast<double>(static_cast<int>(rng() % range) - range / 2) / 2;
        rows.cells.push_back(key == 0 && rng() % 2 ? -0.0 : key);
      }
    }
    AnswerRows literal = rows;
    for (int column = rows.columns() - 1; column >= 2; --column) LiteralExchangePass(literal, column);
    ExchangeSortPasses(rows);
    ASSERT_EQ(rows.cells, literal.cells) << "round " << round;
  }
}

// Keys that are not small whole numbers: exponents up to 200,000 that
// rarely repeat, a few huge or fractional values repeated often, infinities
// and NaN (which compares with nothing). And one key's rows spread between
// ever longer runs of greater keys, so that its run turns over and over.
TEST(ExchangeOrder, MatchesTheLiteralPassesWhateverTheKeys) {
  std::mt19937 rng(2026);
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  for (int round = 0; round < 40; ++round) {
    AnswerRows rows;
    rows.letterCount = 2;
    std::vector<double> pool = {1e300, -1e300, 0.5, 2.25, 123456.0, -7.0, kInf, -kInf};
    if (round % 8 == 7) pool.push_back(kNaN);
    const size_t n = 500 + rng() % 1500;
    for (size_t i = 0; i < n; ++i) {
      rows.cells.insert(rows.cells.end(), {1, double(i)});
      const double wide = double(rng() % 200000);
      const double narrow = pool[rng() % pool.size()];
      rows.cells.push_back(round % 2 ? wide : narrow);
      rows.cells.push_back(round % 3 ? narrow : wide);
    }
    AnswerRows literal = rows;
    for (int column = 3; column >= 2; --column) LiteralExchangePass(literal, column);
    ExchangeSortPasses(rows);
    ASSERT_EQ(rows.cells.size(), literal.cells.size());
    for (size_t c = 0; c < rows.cells.size(); ++c)  // NaN != NaN: compare the bits
      ASSERT_EQ(std::memcmp(&rows.cells[c], &literal.cells[c], sizeof(double)), 0) << "round " << round << " cell " << c;
  }
  for (size_t runs : {40u, 200u, 400u}) {
    AnswerRows rows;
    rows.letterCount = 1;
    double id = 0;
    for (size_t j = 0; j < runs; ++j) {
      rows.cells.insert(rows.cells.end(), {1, id++, 0});
      for (size_t g = 0; g < j / 2 + j % 3; ++g) rows.cells.insert(rows.cells.end(), {1, id++, double(1 + (j + g) % 5)});
    }
    AnswerRows literal = rows;
    LiteralExchangePass(literal, 2);
    ExchangeSortPasses(rows);
    ASSERT_EQ(rows.cells, literal.cells) << runs << " runs";
  }
}

// Exponents of every kind a hand-made file can hold, each column of its own
// kind or of several mixed: small whole numbers (ranked by their value),
// whole numbers up to 60,000 (ranked by value, many ranks), halves and other
// fractions among whole numbers (which must not be taken for the whole
// number below them), values past 2^53, and zero beside negative zero.
TEST(ExchangeOrder, ExponentsOfEveryKindMatchTheLiteralPasses) {
  std::mt19937 rng(31);
  const double kPast53 = 9007199254740992.0;
  const std::vector<std::function<double()>> kinds = {
      [&] { return double(rng() % 8); },
      [&] { return double(rng() % 60000); },
      [&] { return double(rng() % 12) / 2; },
      [&] {
        const double pool[] = {0.1, 0.2, 1.0 / 3, 0.75, 2.5, 1e-300, 3, 1};
        return pool[rng() % 8];
      },
      [&] { return kPast53 + double(2 * (rng() % 6)); },
      [&] { return rng() % 2 ? 0.0 : -0.0; },
      [&] { return rng() % 5 ? double(rng() % 6) : (rng() % 2 ? 1.5 : 0.5); },
      [&] { return rng() % 4 ? double(rng() % 3) : 1 + std::ldexp(1.0, -40); },
  };
  for (int round = 0; round < 64; ++round) {
    AnswerRows rows;
    rows.letterCount = 3;
    const size_t n = 2 + rng() % 600;
    const size_t kind[3] = {size_t(round) % kinds.size(), rng() % kinds.size(), size_t(6 + round % 2)};
    for (size_t i = 0; i < n; ++i) {
      rows.cells.insert(rows.cells.end(), {1, double(i)});
      for (size_t k : kind) rows.cells.push_back(kinds[k]());
    }
    AnswerRows literal = rows;
    for (int column = rows.columns() - 1; column >= 2; --column) LiteralExchangePass(literal, column);
    ExchangeSortPasses(rows);
    ASSERT_EQ(rows.cells.size(), literal.cells.size());
    // -0.0 == 0.0: compare the bits.
    ASSERT_EQ(std::memcmp(rows.cells.data(), literal.cells.data(), rows.cells.size() * sizeof(double)), 0)
        << "round " << round << ", kinds " << kind[0] << " " << kind[1] << " " << kind[2];
  }
  // A half spread between ever longer runs of greater halves, so that its
  // run turns over and over (and is placed with the counting tree).
  for (size_t runs : {40u, 200u}) {
    AnswerRows rows;
    rows.letterCount = 1;
    double id = 0;
    for (size_t j = 0; j < runs; ++j) {
      rows.cells.insert(rows.cells.end(), {1, id++, 0.5});
      for (size_t g = 0; g < j / 2 + j % 3; ++g) rows.cells.insert(rows.cells.end(), {1, id++, 1 + double((j + g) % 5) / 2});
    }
    AnswerRows literal = rows;
    LiteralExchangePass(literal, 2);
    ExchangeSortPasses(rows);
    ASSERT_EQ(rows.cells, literal.cells) << runs << " runs";
  }
}

// Compact rows, their exponents packed: fields of 0 to 40 bits, at the low
// end, across bit 64 and in the high word, with few or many distinct values.
TEST(ExchangeOrder, CompactRowsMatchTheLiteralPasses) {
  std::mt19937_64 rng(5);
  for (int round = 0; round < 30; ++round) {
    AnswerRows rows;
    rows.compact = true;
    rows.letterCount = 4;
    const std::vector<int> widths = {round % 5 == 0 ? 0 : 3, 9 + round % 8, 40, 2 + round % 7};
    // The third field sits below bit 64, straddles it widely, or ends one or
    // two bits past it; or the narrow fourth field crosses it.
    const int before = widths[2] + widths[1] + widths[0];
    const int shifts[] = {30, 0, 65 + round % 2 - before, 62 + round % 2 - before};
    int shift = shifts[round % 4];
    for (int w : widths) {
      rows.packing.shift.push_back(shift);
      rows.packing.width.push_back(w);
      shift += w;
    }
    const size_t n = 300 + rng() % 900;
    const uint64_t spread = round % 2 ? 5 : ~uint64_t{0};
    for (size_t i = 0; i < n; ++i) {
      rows.values.push_back(static_cast<int64_t>(i) + 1);  // identifies the row
      u128 key = 0;
      for (size_t k = 0; k < widths.size(); ++k) {
        const uint64_t mask = widths[k] ? (uint64_t{1} << widths[k]) - 1 : 0;
        key |= static_cast<u128>(rng() % spread & mask) << rows.packing.shift[k];
      }
      rows.keys.push_back(key);
    }
    AnswerRows literal;
    literal.letterCount = rows.letterCount;
    literal.cells = rows.Cells();
    for (int column = literal.columns() - 1; column >= 2; --column) LiteralExchangePass(literal, column);
    ExchangeSortPasses(rows);
    ASSERT_EQ(rows.Cells(), literal.cells) << "round " << round;
  }
}

TEST(ExchangeOrder, AscendingInputAndSmallCases) {
  for (size_t n : {0u, 1u, 2u, 3u, 200u}) {
    AnswerRows rows;
    rows.letterCount = 1;
    for (size_t i = 0; i < n; ++i) rows.cells.insert(rows.cells.end(), {1, double(i), double(i % 7)});
    for (size_t i = 0; i < n; ++i) rows.cells.insert(rows.cells.end(), {1, double(n + i), double(i)});
    AnswerRows literal = rows;
    LiteralExchangePass(literal, 2);
    ExchangeSortPasses(rows);
    EXPECT_EQ(rows.cells, literal.cells) << n;
  }
}

// The window is served all through a long ordering, on either path (few
// distinct keys, and many): at least once every 256 rows of each pass.
TEST(ExchangeOrder, ServesTheWindowAllThroughALongOrdering) {
  std::mt19937 rng(11);
  for (int range : {5, 5000}) {
    AnswerRows rows;
    rows.letterCount = 2;
    const size_t n = 3000;
    for (size_t i = 0; i < n; ++i)
      rows.cells.insert(rows.cells.end(), {1, double(i), double(rng() % range), double(rng() % range)});
    int served = 0;
    ExchangeSortPasses(rows, [&] { ++served; });
    EXPECT_GE(served, static_cast<int>(2 * (n - 1) / 256)) << "keys up to " << range;
  }
}

}  // namespace
}  // namespace poly
