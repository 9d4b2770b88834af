#include "app/polynomial/term_table.h"

namespace poly {

using namespace basic;

Factors FactorsOf(const Double& factorCount, const Single& letterCount, Array<Single, 1>& termCounts,
                  Array<Double, 3>& termTable) {
  Factors f;
  f.factorCount = factorCount.get();
  f.letterCount = static_cast<int>(letterCount.get());
  if (!HasProduct(f.factorCount)) return f;
  for (Single i = 1; i <= factorCount; i = i + 1) {
    auto& terms = f.terms.emplace_back();
    for (Single m = 1; m <= termCounts(i); m = m + 1) {
      auto& row = terms.emplace_back();
      for (Single c = 1; c <= letterCount + 2; c = c + 1) row.push_back(termTable(i, m, c).get());
    }
  }
  return f;
}

}  // namespace poly
