// Expressions through the parser and the fast engine, against the reference
// where it can run: the same rows, bits, marks and errors. The first byte
// chooses: bit 0 set runs the fast engine alone (any size).
#include <cstring>
#include <string>

#include "app/polynomial/engine_harness.h"

namespace {

bool Same(const poly::test::Outcome& a, const poly::test::Outcome& b) {
  return a.parse == b.parse && a.product == b.product && a.errorNumber == b.errorNumber &&
         a.errorLine == b.errorLine && a.errorInPrepare == b.errorInPrepare && a.progress == b.progress &&
         a.rows.letterCount == b.rows.letterCount && a.rows.Cells().size() == b.rows.Cells().size() &&
         (a.rows.Cells().empty() ||
          std::memcmp(a.rows.Cells().data(), b.rows.Cells().data(), a.rows.Cells().size() * sizeof(double)) == 0);
}

// The product rows of the text, as the parser counts them (0 when refused).
double Rows(rt::test::TestHost& host, const std::string& text) {
  double rows = 0;
  poly::test::Recording(host, [&](poly::test::Outcome&) {
    expander::Parser parser;
    poly::test::FillLetters(parser);
    basic::Str t;
    t = text.c_str();
    if (parser.ParseExpression(t, nullptr) == expander::ParseOutcome::Accepted) rows = parser.productRowCount.get();
  });
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 400) return 0;
  const bool fastOnly = data[0] & 1;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (text.find('\0') != std::string::npos) return 0;  // a typed or read text holds no NUL
  rt::test::TestHost host;
  rt::InitRuntime(&host, 10);
  const double rows = Rows(host, text);
  poly::test::Outcome fast = poly::test::RunExpression(host, text, true);
  // The reference dimensions its table and collects quadratically: only
  // where that is quick.
  if (!fastOnly && rows <= 4000) {
    poly::test::Outcome reference = poly::test::RunExpression(host, text, false);
    if (!Same(reference, fast)) __builtin_trap();
  }
  rt::ShutdownRuntime();
  return 0;
}
