// The polynomial engine's interface: expansion of a product of factors into
// product rows, collection of like terms, and the display order of the
// surviving rows. Two implementations share it: the reference, which follows
// the algorithms literally, and the fast engine that the programs use.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace poly {

// The factors to multiply: for each factor its terms, each a row of
// letterCount + 2 doubles (sign, coefficient magnitude, exponent of letter 1
// ... letterCount), exactly as the term table holds them.
struct Factors {
  double factorCount = 0;  // as the program holds it; only 2 to 10 has a product
  int letterCount = 0;
  std::vector<std::vector<std::vector<double>>> terms;  // terms[f][m][c]

  int columns() const { return letterCount + 2; }
};

// Surviving rows in display order, each letterCount + 2 doubles.
struct AnswerRows {
  int letterCount = 0;
  std::vector<double> cells;

  int columns() const { return letterCount + 2; }
  size_t count() const { return columns() ? cells.size() / columns() : 0; }
  const double* row(size_t i) const { return cells.data() + i * columns(); }
};

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

// The number of "+" marks ShowProgress writes for the counter values 1..n.
double MarksUpTo(double n);

}  // namespace poly
