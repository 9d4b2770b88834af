// Runs an expression text through the parser and an engine, recording what
// the engine shows and what it leaves, so that the reference and the fast
// engine can be compared.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/expander/parser.h"
#include "app/polynomial/polynomial.h"
#include "app/polynomial/term_text.h"
#include "support/recording_host.h"

namespace poly::test {

// Progress as a sequence: expansion marks, the collection header, its marks.
class RecordingOutput : public ProgressOutput {
 public:
  void Marks(double count) override {
    if (count == 0) return;
    if (events.empty() || events.back().first != '+') events.push_back({'+', 0});
    events.back().second += count;
  }
  void BeginCollection() override { events.push_back({'C', 0}); }
  std::vector<std::pair<char, double>> events;
};

struct Outcome {
  expander::ParseOutcome parse = expander::ParseOutcome::RecognitionFailed;
  bool product = false;
  AnswerRows rows;
  std::vector<std::pair<char, double>> progress;
  int errorNumber = 0;
  int errorLine = 0;
  bool errorInPrepare = false;  // raised before "ただ今、式を展開中" would be shown

  std::string Answer() const {
    std::string s;
    for (size_t i = 0; i < rows.count(); ++i) s += TermText(rows.RowValues(i).data(), rows.letters(), PlainLetter);
    return s;
  }
};

inline void FillLetters(expander::Parser& parser) {
  parser.LetterTable.Dim(26);
  for (int k = 1; k <= 26; ++k) parser.LetterTable(k) = PlainLetter(k).c_str();
}

// Prepares, expands, collects and orders the factors with the engine, as the
// programs do. A run-time error ends the run as it ends the program.
inline void RunEngine(const Factors& factors, bool fast, Outcome& o) {
  std::unique_ptr<Engine> engine = fast ? MakeFastEngine() : MakeReferenceEngine();
  RecordingOutput out;
  try {
    o.errorInPrepare = true;
    engine->Prepare(factors);
    o.errorInPrepare = false;
    o.product = engine->Expand(factors, out) == ExpandResult::Done;
    if (o.product) {
      engine->Collect(out);
      o.rows = engine->Ordered();
    }
  } catch (const rt::ProgramEnd&) {
    o.progress = out.events;
    throw;
  }
  o.progress = out.events;
}

// Catches the end of the run that a reported error causes.
template <class Body>
inline Outcome Recording(rt::test::TestHost& host, const Body& body) {
  Outcome o;
  size_t reports = host.reports.size();
  try {
    body(o);
  } catch (const rt::ProgramEnd&) {
    if (host.reports.size() > reports) {
      o.errorNumber = host.reports.back().number;
      o.errorLine = host.reports.back().line;
    }
    rt::State().raising = false;
  }
  if (!o.errorNumber) o.errorInPrepare = false;
  return o;
}

// Parses and, when accepted, runs the engine.
inline Outcome RunExpression(rt::test::TestHost& host, const std::string& text, bool fast) {
  return Recording(host, [&](Outcome& o) {
    expander::Parser parser;
    FillLetters(parser);
    basic::Str t;
    t = text.c_str();
    o.parse = parser.ParseExpression(t, nullptr);
    if (o.parse == expander::ParseOutcome::Accepted) RunEngine(parser.Factors(), fast, o);
  });
}

// The engine on factors as polymul reads them from array files.
inline Outcome RunFactors(rt::test::TestHost& host, const Factors& factors, bool fast) {
  return Recording(host, [&](Outcome& o) {
    o.parse = expander::ParseOutcome::Accepted;
    RunEngine(factors, fast, o);
  });
}

}  // namespace poly::test
