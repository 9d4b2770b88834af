// The polynomial engine's interface: expansion of a product of factors into
// product rows, collection of like terms, and the display order of the
// surviving rows. Two implementations share it: the reference, which follows
// the algorithms literally, and the fast engine that the programs use.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "app/polynomial/answer_rows.h"

namespace poly {

// The factors to multiply: for each factor its terms, each a row of
// columns() doubles (sign, coefficient magnitude, exponent of letter 1 ...),
// exactly as the term table holds them.
struct Factors {
  double factorCount = 0;  // as the program holds it; only 2 to 10 has a product
  // A single, as the program holds it. An array file's header can give a
  // fraction: the loops then visit the whole part of it.
  float letterCount = 0;
  std::vector<std::vector<std::vector<double>>> terms;  // terms[f][m][c]
  // The highest column of the term table (dimensioned with letterCount + 2):
  // below 2 when a header's letter count is below 0, so that the sign or the
  // magnitude of a term cannot be read.
  int tableColumns = 2;

  int letters() const { return LetterColumns(letterCount); }
  int columns() const { return letters() + 2; }
  // Collection merges two rows when the number of equal exponent columns
  // equals letterCount, which a count with a fraction (or below 0) never is.
  bool merges() const { return letterCount == static_cast<float>(letters()); }
};

// The 0-based columns of the ordering passes, in their order: one pass for
// each F = letterCount + 2, letterCount + 1, ... down to 3 (a single), on
// column CINT(F). Passes on columns beyond the rows' own are left out (those
// columns hold zeros only, so such a pass moves nothing).
std::vector<int> OrderingColumns(float letterCount);

// What the engine shows while it works.
class ProgressOutput {
 public:
  virtual ~ProgressOutput() = default;
  // Writes count "+" marks without ending the line.
  virtual void Marks(double count) = 0;
  // Ends the current line and shows "ただ今、式を整理中".
  virtual void BeginCollection() = 0;
};

enum class ExpandResult { Done, NoProduct };

class Engine {
 public:
  virtual ~Engine() = default;
  // What the programs do before they show "ただ今、式を展開中": the
  // ProductTable is dimensioned wherever the literal algorithms need it, so
  // that a table too large fails there, as the programs' DIM does. Expand
  // prepares itself when this was not called.
  virtual void Prepare(const Factors& factors) = 0;
  // ExpandProducts: one product row per choice of one term from each factor,
  // a mark per 100 rows. NoProduct when factorCount is not 2 to 10.
  virtual ExpandResult Expand(const Factors& factors, ProgressOutput& out) = 0;
  // CollectLikeTerms: merges rows with equal exponents, a mark per 100 rows.
  virtual void Collect(ProgressOutput& out) = 0;
  // The ordering passes of the answer: the surviving rows, each letter's
  // exponent column exchange-sorted from the last letter to the first.
  virtual AnswerRows Ordered() = 0;
};

std::unique_ptr<Engine> MakeReferenceEngine();
std::unique_ptr<Engine> MakeFastEngine();

// True when the count is exactly one of 2, 3, ..., 10.
bool HasProduct(double factorCount);

// The first row of the product reads the sign, then the magnitude of a term:
// where the term table lacks that column, the read fails as the run-time's
// subscript check fails it (error 9, at the line of the read).
void CheckTermColumns(const Factors& factors);

// A single-precision counter stops advancing at 16,777,216 (adding 1 rounds
// back). The row counter of the progress marks is one, so no phase writes
// more marks than that counter reaches.
inline constexpr double kSingleCounterLimit = 16777216;

// The number of "+" marks ShowProgress writes for the counter values 1..n.
double MarksUpTo(double n);

}  // namespace poly
