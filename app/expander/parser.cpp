#include "app/expander/parser.h"

#include "app/polynomial/term_table.h"

namespace expander {

using namespace basic;

// The letter number of a one-byte text (a = 1 ... z = 26), 0 for any other:
// its place in the letter table, which holds a to z in order, so only the
// one entry it can be is compared.
Value Parser::LetterNumber(StrExpr ch) {
  Ch = ch;
  const std::string_view c = Ch.view();
  if (c.size() != 1 || c[0] < 'a' || c[0] > 'z') return 0;
  const int k = c[0] - 'a' + 1;
  return Ch == LetterTable(k) ? k : 0;
}

namespace {
// The body with its implicit exponents: every character that is not a digit
// and is followed by one that is not (or ends the body) gets "1" after it.
std::string WithImplicitExponents(std::string_view body) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::string marked;
  marked.reserve(body.size() * 2);
  for (size_t p = 0; p < body.size(); ++p) {
    marked += body[p];
    if (!digit(body[p]) && (p + 1 == body.size() || !digit(body[p + 1]))) marked += '1';
  }
  return marked;
}
}  // namespace

bool Parser::IsDigit(StrExpr ch) {
  NextCh = ch;
  return NextCh >= "0" && NextCh <= "9" && Len(NextCh) == 1;
}

// The highest letter number that occurs in the text, in one pass over it.
void Parser::CountLetters() {
  Stmt(2010); letterCount = 0;
  for (P = 1; P <= Len(Text); P = P + 1) {
    Stmt(2012); K = LetterNumber(Mid(Text, P, 1));
    if (K > letterCount) letterCount = K;
  }
}

// Records the positions of every "(" and ")"; factorCount is half their number.
void Parser::FindParentheses(const Str& text) {
  Stmt(2020); parenCount = 0;
  for (P = 1; P <= Len(text); P = P + 1) {
    Stmt(2021); Ch = Mid(text, P, 1);
    if (Ch == "(" || Ch == ")") parenCount = parenCount + 1;
  }
  Stmt(2022); EraseIfDimensioned(ParenPositions);
  ParenPositions.Dim(parenCount);
  N = 0;
  for (P = 1; P <= Len(text); P = P + 1) {
    Stmt(2023); Ch = Mid(text, P, 1);
    if (Ch == "(" || Ch == ")") {
      N = N + 1;
      ParenPositions(N) = P;
    }
  }
  Stmt(2024); factorCount = parenCount / 2;
}

ParseOutcome Parser::ParseExpression(const Str& text, const std::function<void()>& onAccepted) {
  Stmt(2000); Text = text;
  CountLetters();
  FindParentheses(Text);
  Stmt(2025);
  if (factorCount > kMaxFactors) return ParseOutcome::TooManyFactors;

  // Factor texts and the powers written after them.
  Stmt(2030); EraseIfDimensioned(FactorTexts);
  EraseIfDimensioned(FactorPowers);
  FactorTexts.Dim(kMaxFactors);
  FactorPowers.Dim(kMaxFactors);
  for (I = 1; I <= factorCount; I = I + 1) {
    Stmt(2031); Open = ParenPositions(I * 2 - 1);
    Close = ParenPositions(I * 2);
    Stmt(2032); FactorTexts(I) = Mid(Text, Open, Close - Open + 1);
    Stmt(2033);
    if (I == factorCount) Last = Len(Text);
    else Last = ParenPositions(I * 2 + 1) - 1;
    Stmt(2034); PowerText = Mid(Text, Close + 1, Last - Close);
    Stmt(2035); FactorPowers(I) = 1;
    Stmt(2036);
    if (factorCount == 1) {
      if (PowerText != "") FactorPowers(I) = Val(PowerText);
    } else if (Val(PowerText) > 1) {
      FactorPowers(I) = Val(PowerText);
    }
  }

  // The text rebuilt with every factor repeated by its power. Once it holds
  // more factors than can be processed the outcome is decided, so the
  // repetition stops there instead of building a text of any length.
  Stmt(2040); Rebuilt = "";
  copies = 0;
  for (I = 1; I <= factorCount && copies <= kMaxFactors; I = I + 1) {
    for (J = 1; J <= FactorPowers(I) && copies <= kMaxFactors; J = J + 1) {
      Stmt(2041); Rebuilt = Rebuilt + FactorTexts(I);
      copies = copies + 1;
    }
  }
  Stmt(2050); Text = Rebuilt;
  FindParentheses(Text);
  Stmt(2055);
  if (factorCount > kMaxFactors) return ParseOutcome::TooManyFactors;

  // Term counts: one more than the signs inside each factor.
  Stmt(2060); EraseIfDimensioned(TermCounts);
  TermCounts.Dim(factorCount);
  productRowCount = 1;
  maxTermCount = 0;
  for (I = 1; I <= factorCount; I = I + 1) {
    Stmt(2061); Open = ParenPositions(I * 2 - 1);
    Close = ParenPositions(I * 2);
    Count = 1;
    for (P = Open + 1; P <= Close - 1; P = P + 1) {
      Stmt(2062); Ch = Mid(Text, P, 1);
      if (Ch == "+" || Ch == "-") Count = Count + 1;
    }
    Stmt(2063); TermCounts(I) = Count;
    productRowCount = productRowCount * Count;
    if (Count > maxTermCount) maxTermCount = Count;
  }

  Stmt(2070);
  if (factorCount == 0 || maxTermCount == 0 || letterCount == 0) return ParseOutcome::RecognitionFailed;
  if (onAccepted) onAccepted();

  SplitTerms();
  Stmt(2090); EraseIfDimensioned(TermTable);
  TermTable.Dim(factorCount, maxTermCount, letterCount + 2);
  EraseIfDimensioned(LetterPositions);
  LetterPositions.Dim(letterCount + 1);
  for (I = 1; I <= factorCount; I = I + 1) {
    for (M = 1; M <= TermCounts(I); M = M + 1) {
      Stmt(2091); ParseTerm(I, M);
    }
  }
  return ParseOutcome::Accepted;
}

// Splits each factor at its signs: the first term lies strictly between "("
// and the first sign, every later one runs from its sign to the next boundary.
void Parser::SplitTerms() {
  Stmt(2080); EraseIfDimensioned(TermTexts);
  TermTexts.Dim(factorCount, maxTermCount);
  for (I = 1; I <= factorCount; I = I + 1) {
    Stmt(2081); Open = ParenPositions(I * 2 - 1);
    Close = ParenPositions(I * 2);
    N = 1;
    SignPositions(N) = Open;
    for (P = Open + 1; P <= Close - 1; P = P + 1) {
      Stmt(2082); Ch = Mid(Text, P, 1);
      if (Ch == "+" || Ch == "-") {
        N = N + 1;
        SignPositions(N) = P;
      }
    }
    Stmt(2083); N = N + 1;
    SignPositions(N) = Close;
    for (M = 1; M <= N - 1; M = M + 1) {
      Stmt(2084); First = SignPositions(M);
      Last = SignPositions(M + 1);
      if (M == 1) Term = Mid(Text, First + 1, Last - First - 1);
      else Term = Mid(Text, First, Last - First);
      Stmt(2085); Ch = Mid(Term, 1, 1);
      if (!(Ch == "+" || Ch == "-")) Term = StrExpr("+") + Term;
      Stmt(2086); TermTexts(I, M) = Term;
    }
  }
}

void Parser::ParseTerm(const Single& i, const Single& m) {
  Stmt(2100); Term = TermTexts(i, m);
  Stmt(2101);
  if (Mid(Term, 1, 1) == "+") TermTable(i, m, 1) = 1;
  else TermTable(i, m, 1) = -1;
  Stmt(2102); Body = Mid(Term, 2, 2147483647);
  Stmt(2103); Count = 0;
  for (P = 1; P <= Len(Body); P = P + 1) {
    Stmt(2104);
    if (LetterNumber(Mid(Body, P, 1)) > 0) Count = Count + 1;
  }
  Stmt(2105);
  if (Count == 0) {
    TermTable(i, m, 2) = Val(Body);
    return;
  }
  Stmt(2106);
  if (Len(Body) == 1) {
    TermTable(i, m, 2) = 1;
    TermTable(i, m, LetterNumber(Body) + 2) = 1;
    return;
  }
  // Implicit exponents: a non-digit followed by a non-digit, or at the end,
  // gets the digit 1 after it.
  Stmt(2110); Marked = StrExpr(WithImplicitExponents(Body.view()));
  // Letter positions, then an end marker.
  Stmt(2120); N = 0;
  for (P = 1; P <= Len(Marked); P = P + 1) {
    Stmt(2121);
    if (LetterNumber(Mid(Marked, P, 1)) > 0) {
      N = N + 1;
      LetterPositions(N) = P;
    }
  }
  Stmt(2122); N = N + 1;
  LetterPositions(N) = Len(Marked) + 1;
  Stmt(2130);
  if (IsDigit(Mid(Marked, 1, 1))) TermTable(i, m, 2) = Val(Mid(Marked, 1, LetterPositions(1) - 1));
  else TermTable(i, m, 2) = 1;
  for (Single l = 1; l <= N - 1; l = l + 1) {
    Stmt(2140); K = LetterNumber(Mid(Marked, LetterPositions(l), 1));
    Stmt(2141);
    TermTable(i, m, K + 2) =
        Val(Mid(Marked, LetterPositions(l) + 1, LetterPositions(l + 1) - LetterPositions(l) - 1));
  }
}

void Parser::Release() {
  EraseIfDimensioned(ParenPositions);
  EraseIfDimensioned(FactorTexts);
  EraseIfDimensioned(FactorPowers);
  EraseIfDimensioned(TermCounts);
  EraseIfDimensioned(TermTexts);
  EraseIfDimensioned(TermTable);
  EraseIfDimensioned(LetterPositions);
}

poly::Factors Parser::Factors() { return poly::FactorsOf(factorCount, letterCount, TermCounts, TermTable); }

}  // namespace expander
