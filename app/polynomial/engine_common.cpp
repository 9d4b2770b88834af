#include <cmath>

#include "app/polynomial/polynomial.h"

namespace poly {

bool HasProduct(double factorCount) {
  for (int n = 2; n <= 10; ++n)
    if (factorCount == n) return true;
  return false;
}

double MarksUpTo(double n) { return n < 100 ? 0 : std::floor(n / 100); }

}  // namespace poly
