#include <algorithm>
#include <cmath>

#include "app/polynomial/lines.h"
#include "app/polynomial/polynomial.h"
#include "runtime/core/basic.h"
#include "runtime/core/numbers.h"

namespace poly {

bool HasProduct(double factorCount) {
  for (int n = 2; n <= 10; ++n)
    if (factorCount == n) return true;
  return false;
}

void CheckTermColumns(const Factors& in) {
  if (in.tableColumns >= 2) return;
  basic::Stmt(in.tableColumns < 1 ? line::kExpandSign : line::kExpandMagnitude);
  rt::RaiseError(9, 0xBF02);
}

double MarksUpTo(double n) { return n < 100 ? 0 : std::floor(std::min(n, kSingleCounterLimit) / 100); }

int LetterColumns(float letterCount) {
  if (!(letterCount >= 1)) return 0;
  // Beyond 2^24 a single counter no longer advances by 1; no term table
  // could be dimensioned with so many columns anyway.
  return letterCount >= kSingleCounterLimit ? static_cast<int>(kSingleCounterLimit) : static_cast<int>(letterCount);
}

std::vector<int> OrderingColumns(float letterCount) {
  std::vector<int> columns;
  const int own = LetterColumns(letterCount) + 2;
  float f = static_cast<float>(static_cast<double>(letterCount) + 2);
  while (f >= 3) {
    if (static_cast<double>(f) < own + 0.5) columns.push_back(rt::RoundToLong(f) - 1);  // CINT, 1-based
    const float next = static_cast<float>(static_cast<double>(f) - 1);
    // Where a single no longer changes by 1 the same pass would repeat, and
    // a repeated pass moves nothing: the column is already in order.
    if (next == f) break;
    f = next;
  }
  return columns;
}

}  // namespace poly
