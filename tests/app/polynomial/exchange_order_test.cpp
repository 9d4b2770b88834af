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
