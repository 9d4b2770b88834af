// The expression parser of equation: turns an expression such as
// (26a2b+c)(3a-2b2)(2ab-1) or (a+b)3 into the term table that the expansion
// multiplies out. It runs as the program's own statements on the run-time's
// strings and arrays, so its limits fail as the run-time's subscript checks.
#pragma once

#include <functional>

#include "app/polynomial/polynomial.h"
#include "runtime/core/basic.h"

namespace expander {

using basic::Array;
using basic::Double;
using basic::Single;
using basic::Str;

enum class ParseOutcome { Accepted, RecognitionFailed, TooManyFactors };

inline constexpr int kMaxFactors = 10;

class Parser {
 public:
  // The letter table a..z, filled once by the program (READ from DATA).
  Array<Str, 1> LetterTable;

  // The tables of one expression.
  Single letterCount;
  Double factorCount;
  Array<Double, 1> ParenPositions;
  Array<Str, 1> FactorTexts;
  Array<Double, 1> FactorPowers;
  Array<Single, 1> TermCounts;
  Single maxTermCount;
  Double productRowCount;
  Array<Str, 2> TermTexts;
  Array<Double, 3> TermTable;

  // Parses the text. On acceptance, onAccepted runs after the counts are
  // known and before the terms are split and parsed (the program shows the
  // sizes there and dimensions its work tables).
  ParseOutcome ParseExpression(const Str& text, const std::function<void()>& onAccepted);
  // Reads TermTexts(i, m) into row (i, m) of the TermTable.
  void ParseTerm(const Single& i, const Single& m);
  // Releases every per-expression table.
  void Release();
  // The term table as the polynomial engine takes it.
  poly::Factors Factors();

 private:
  void CountLetters();
  void FindParentheses(const Str& text);
  void SplitTerms();
  basic::Value LetterNumber(basic::StrExpr ch);
  bool IsDigit(basic::StrExpr ch);

  Str Text, Rebuilt, PowerText, Term, Body, Marked, Ch, NextCh;
  Array<Double, 1> SignPositions;  // never dimensioned: 11 entries, 0 to 10
  Array<Double, 1> LetterPositions;
  Double parenCount, copies;
  Single I, J, K, M, N, Count;
  // Positions in the text: doubles, so that a text longer than a single
  // counts exactly (2^24 characters) is walked to its end.
  Double P;
  Double Open, Close, First, Last, Power;
};

}  // namespace expander
