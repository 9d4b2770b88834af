// The display order of an answer: for each letter, from the last to the
// first, one exchange sort of the rows on that letter's exponent, largest
// first. An exchange sort does not keep the order of equal keys, so the
// result is defined by the passes themselves; this reproduces them exactly
// without their quadratic cost.
#pragma once

#include <functional>

#include "app/polynomial/polynomial.h"

namespace poly {

// Reorders the rows in place as the passes over the columns of
// OrderingColumns(rows.letterCount) would: for a whole count, letterCount + 2
// down to 3 (1-based). keepServed, when given, is called every few hundred
// rows of work, so that the window is served while a large answer is ordered.
void ExchangeSortPasses(AnswerRows& rows, const std::function<void()>& keepServed = {});

// One literal exchange-sort pass on the 0-based column, for tests and the
// benchmark: for i, for j > i, swap rows i and j when key(j) > key(i).
void LiteralExchangePass(AnswerRows& rows, int column);

}  // namespace poly
