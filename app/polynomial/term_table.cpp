#include "app/polynomial/term_table.h"

namespace poly {

using namespace basic;

Factors FactorsOf(const Double& factorCount, const Single& letterCount, Array<Single, 1>& termCounts,
                  Array<Double, 3>& termTable) {
  Factors f;
  f.factorCount = factorCount.get();
  f.letterCount = letterCount.get();
  if (!HasProduct(f.factorCount)) return f;
  const int columns = f.columns();
  for (int i = 1; i <= f.factorCount; ++i) {
    auto& terms = f.terms.emplace_back();
    // FOR M = 1 TO TermCounts(i): a fractional count takes its whole part.
    const double count = termCounts(i).get();
    for (int m = 1; m <= count; ++m) {
      auto& row = terms.emplace_back();
      row.reserve(columns);
      for (int c = 1; c <= columns; ++c) row.push_back(termTable(i, m, c).get());
    }
  }
  return f;
}

}  // namespace poly
