// The programs' term table as the polynomial engine takes it.
#pragma once

#include "app/polynomial/polynomial.h"
#include "runtime/core/basic.h"

namespace poly {

// Factors 1 to factorCount of TermTable(f, m, c), with TermCounts(f) terms
// each and letterCount + 2 columns; no terms when the count has no product.
Factors FactorsOf(const basic::Double& factorCount, const basic::Single& letterCount,
                  basic::Array<basic::Single, 1>& termCounts, basic::Array<basic::Double, 3>& termTable);

}  // namespace poly
