// The reference engine: ExpandProducts, CollectLikeTerms and the ordering
// passes of FormatAnswer exactly as the original program runs them, statement
// by statement on the run-time's arrays. It is the oracle of the fast engine
// and the fast engine's fallback where arithmetic could overflow.
#include "app/polynomial/lines.h"
#include "app/polynomial/polynomial.h"
#include "runtime/core/basic.h"

namespace poly {
namespace {

using namespace basic;

class ReferenceEngine : public Engine {
 public:
  void Prepare(const Factors& in) override;
  ExpandResult Expand(const Factors& in, ProgressOutput& out) override;
  void Collect(ProgressOutput& out) override;
  AnswerRows Ordered() override;

 private:
  // The term table of the program: TermTable(f, m, c), 1-based.
  Value Term(const Single& f, const Single& m, const Single& c) const {
    return in_.terms[Cint(f) - 1][Cint(m) - 1][Cint(c) - 1];
  }
  // The counter stops advancing where a single does: beyond it no mark.
  void ShowProgress(const Value& n) {
    Stmt(line::kShowProgress);
    if (n.get() <= kSingleCounterLimit && n / 100 == Int(n / 100)) out_->Marks(1);
  }

  Factors in_;  // the term table, kept for the whole expression
  bool prepared_ = false;
  ProgressOutput* out_ = nullptr;
  Array<Double, 2> ProductTable;
  Array<Double, 2> AnswerTable;
  Array<Single, 1> M;
  Double factorCount, productRowCount, rowCount, S, P, E, Sum, W;
  Single letterCount, answerCount, F, C, I, J, K;
};

// The ProductTable, with one row per choice of terms.
void ReferenceEngine::Prepare(const Factors& in) {
  in_ = in;
  prepared_ = true;
  factorCount = in.factorCount;
  letterCount = in.letterCount;
  Stmt(line::kExpandDim);
  productRowCount = 1;
  for (const auto& factor : in_.terms) productRowCount = productRowCount * static_cast<double>(factor.size());
  EraseIfDimensioned(ProductTable);
  ProductTable.Dim(productRowCount, letterCount + 2);
}

ExpandResult ReferenceEngine::Expand(const Factors& in, ProgressOutput& out) {
  if (!prepared_) Prepare(in);
  prepared_ = false;
  out_ = &out;
  rowCount = 0;
  Stmt(line::kExpandCheck);
  if (!HasProduct(factorCount.get())) return ExpandResult::NoProduct;
  EraseIfDimensioned(M);
  M.Dim(factorCount);
  Stmt(line::kExpandStart);
  // The nested loops FOR M(f) = 1 TO TermCounts(f): a factor without terms
  // runs none of them.
  for (const auto& factor : in_.terms)
    if (factor.empty()) return ExpandResult::Done;
  CheckTermColumns(in_);
  for (F = 1; F <= factorCount; F = F + 1) M(F) = 1;
  for (;;) {
    Stmt(line::kExpandRow);
    rowCount = rowCount + 1;
    Stmt(line::kExpandProgress);
    ShowProgress(rowCount);
    S = 1;
    P = 1;
    for (F = 1; F <= factorCount; F = F + 1) {
      Stmt(line::kExpandSign);
      S = S * Term(F, M(F), 1);
      Stmt(line::kExpandMagnitude);
      P = P * Term(F, M(F), 2);
    }
    Stmt(line::kExpandStore);
    ProductTable(rowCount, 1) = S;
    ProductTable(rowCount, 2) = P;
    for (C = 3; C <= letterCount + 2; C = C + 1) {
      E = 0;
      for (F = 1; F <= factorCount; F = F + 1) {
        Stmt(line::kExpandExponent);
        E = E + Term(F, M(F), C);
      }
      ProductTable(rowCount, C) = E;
    }
    // The term of the last factor changes fastest.
    Stmt(line::kExpandNext);
    F = factorCount;
    M(F) = M(F) + 1;
    while (M(F) > static_cast<double>(in_.terms[Cint(F) - 1].size())) {
      Stmt(line::kExpandNext);
      M(F) = 1;
      F = F - 1;
      if (F == 0) return ExpandResult::Done;
      M(F) = M(F) + 1;
    }
  }
}

void ReferenceEngine::Collect(ProgressOutput& out) {
  out_ = &out;
  Stmt(line::kCollectHeader);
  out.BeginCollection();
  Double last = rowCount - 1;
  for (I = 1; I <= last; I = I + 1) {
    Stmt(line::kCollectRow);
    ShowProgress(I);
    Stmt(line::kCollectSkip);
    if (ProductTable(I, 2) == 0) continue;
    for (J = I + 1; J <= rowCount; J = J + 1) {
      Stmt(line::kCollectCompare);
      K = 0;
      for (C = 3; C <= letterCount + 2; C = C + 1) {
        if (ProductTable(J, C) == ProductTable(I, C)) K = K + 1;
      }
      if (!(K == letterCount)) continue;
      Stmt(line::kCollectSum);
      Sum = ProductTable(J, 1) * ProductTable(J, 2) + ProductTable(I, 1) * ProductTable(I, 2);
      Stmt(line::kCollectStore);
      if (Sum == 0) {
        ProductTable(I, 2) = 0;
        ProductTable(J, 2) = 0;
      } else if (Sum > 0) {
        ProductTable(I, 1) = 1;
        ProductTable(I, 2) = Abs(Sum);
        ProductTable(J, 2) = 0;
      } else {
        ProductTable(I, 1) = -1;
        ProductTable(I, 2) = Abs(Sum);
        ProductTable(J, 2) = 0;
      }
    }
  }
}

AnswerRows ReferenceEngine::Ordered() {
  Stmt(line::kOrderCount);
  answerCount = 0;
  for (I = 1; I <= rowCount; I = I + 1) {
    Stmt(line::kOrderCount);
    if (!(ProductTable(I, 2) == 0)) answerCount = answerCount + 1;
  }
  Stmt(line::kOrderDim);
  if (AnswerTable.dimensioned()) Erase(AnswerTable);
  AnswerTable.Dim(answerCount, letterCount + 2);
  K = 0;
  for (I = 1; I <= rowCount; I = I + 1) {
    Stmt(line::kOrderCopy);
    if (ProductTable(I, 2) == 0) continue;
    K = K + 1;
    for (C = 1; C <= letterCount + 2; C = C + 1) AnswerTable(K, C) = ProductTable(I, C);
  }
  // One exchange sort per letter, last letter first, largest exponent first.
  for (F = letterCount + 2; F >= 3; F = F - 1) {
    for (I = 1; I <= answerCount - 1; I = I + 1) {
      Stmt(line::kOrderPass);
      for (J = I + 1; J <= answerCount; J = J + 1) {
        if (!(AnswerTable(J, F) > AnswerTable(I, F))) continue;
        Stmt(line::kOrderSwap);
        for (C = 1; C <= letterCount + 2; C = C + 1) {
          W = AnswerTable(I, C);
          AnswerTable(I, C) = AnswerTable(J, C);
          AnswerTable(J, C) = W;
        }
      }
    }
  }
  AnswerRows rows;
  rows.letterCount = letterCount.get();
  for (I = 1; I <= answerCount; I = I + 1)
    for (int c = 1; c <= rows.columns(); ++c) rows.cells.push_back(AnswerTable(I, c).get());
  return rows;
}

}  // namespace

std::unique_ptr<Engine> MakeReferenceEngine() { return std::make_unique<ReferenceEngine>(); }

}  // namespace poly
