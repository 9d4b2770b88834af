// The rows of an answer: each a sign, a magnitude and the exponent of every
// letter. They are held in one of two forms: the general one, a row of
// doubles per term, and a compact one for exact answers (whole coefficients
// below 2^53, whole exponents), a signed coefficient and the exponents packed
// into one integer per term, a tenth of the room for a large answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace poly {

using u128 = unsigned __int128;

// Letter columns visited by the loops "FOR C = 3 TO letterCount + 2": the
// whole part of the count, none when it is below 1.
int LetterColumns(float letterCount);

// Exponent vectors packed into one integer, a bit field per letter wide
// enough for the largest sum that letter can reach. A letter whose exponents
// are all 0 has a field of width 0, which may start at bit 128: it is never
// shifted.
struct ExponentPacking {
  std::vector<int> shift, width;

  u128 Make(const double* exps) const {
    u128 key = 0;
    for (size_t i = 0; i < shift.size(); ++i)
      if (width[i]) key |= static_cast<u128>(static_cast<uint64_t>(exps[i])) << shift[i];
    return key;
  }
  uint64_t Field(u128 key, size_t letter) const {
    if (!width[letter]) return 0;
    const uint64_t mask = width[letter] >= 64 ? ~uint64_t{0} : (uint64_t{1} << width[letter]) - 1;
    return static_cast<uint64_t>(key >> shift[letter]) & mask;
  }
  void Exps(u128 key, double* out) const {
    for (size_t i = 0; i < shift.size(); ++i) out[i] = static_cast<double>(Field(key, i));
  }
  void Exps(u128 key, uint64_t* out) const {
    for (size_t i = 0; i < shift.size(); ++i) out[i] = Field(key, i);
  }
};

struct AnswerRows {
  float letterCount = 0;  // as the factors' letter count
  // The general form: columns() doubles per row.
  std::vector<double> cells;
  // The compact form, used when `compact` is set (cells is then empty): per
  // row its coefficient with the sign (never 0, below 2^53 in magnitude) and
  // its exponents packed.
  bool compact = false;
  std::vector<int64_t> values;
  std::vector<u128> keys;
  ExponentPacking packing;

  int letters() const { return LetterColumns(letterCount); }
  int columns() const { return letters() + 2; }
  size_t count() const { return compact ? values.size() : cells.size() / static_cast<size_t>(columns()); }
  // Row i's columns() values, sign first.
  void Row(size_t i, double* out) const;
  std::vector<double> RowValues(size_t i) const;
  // Every row in the general form, one after another.
  std::vector<double> Cells() const;
};

}  // namespace poly
