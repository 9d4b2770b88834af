#include "app/polynomial/term_table.h"

#include <algorithm>

namespace poly {

using namespace basic;

Factors FactorsOf(const Double& factorCount, const Single& letterCount, Array<Single, 1>& termCounts,
                  Array<Double, 3>& termTable) {
  Factors f;
  f.factorCount = factorCount.get();
  f.letterCount = letterCount.get();
  if (!HasProduct(f.factorCount)) return f;
  const int columns = f.columns();
  // The table was dimensioned with letterCount + 2 columns; what it lacks
  // the expansion fails on when it reads it.
  f.tableColumns = Cint(letterCount + 2);
  const int readable = std::min(columns, f.tableColumns);
  for (int i = 1; i <= f.factorCount; ++i) {
    auto& terms = f.terms.emplace_back();
    // FOR M = 1 TO TermCounts(i): a fractional count takes its whole part.
    const double count = termCounts(i).get();
    for (int m = 1; m <= count; ++m) {
      auto& row = terms.emplace_back();
      row.reserve(columns);
      for (int c = 1; c <= columns; ++c) row.push_back(c <= readable ? termTable(i, m, c).get() : 0.0);
    }
  }
  return f;
}

}  // namespace poly
