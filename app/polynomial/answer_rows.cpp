#include "app/polynomial/answer_rows.h"

#include <algorithm>

namespace poly {

void AnswerRows::Row(size_t i, double* out) const {
  const size_t cols = static_cast<size_t>(columns());
  if (!compact) {
    std::copy_n(cells.data() + i * cols, cols, out);
    return;
  }
  const int64_t v = values[i];
  out[0] = v > 0 ? 1.0 : -1.0;
  out[1] = static_cast<double>(v > 0 ? v : -v);
  packing.Exps(keys[i], out + 2);
}

std::vector<double> AnswerRows::RowValues(size_t i) const {
  std::vector<double> row(static_cast<size_t>(columns()));
  Row(i, row.data());
  return row;
}

std::vector<double> AnswerRows::Cells() const {
  if (!compact) return cells;
  const size_t cols = static_cast<size_t>(columns());
  std::vector<double> all(count() * cols);
  for (size_t i = 0; i < count(); ++i) Row(i, all.data() + i * cols);
  return all;
}

}  // namespace poly
