// Does with FLINT what equation and polymul do, the way a user of the
// library would, for the whole-process comparison:
//
//   flint_expand EXPRESSION            parse, expand, print
//   flint_expand --multiply EXPRESSION the product of the factors only: each
//                                      parenthesised factor is read on its
//                                      own, then raised and multiplied, and
//                                      nothing is printed but the term count
//   flint_expand --files F1 F2 ...     read array-form answer files, multiply
//                                      them and print
//   flint_expand --multiply --files F1 F2 ...
//
// Expressions use letters a to z, + - * ^ and parentheses.
#include <flint/fmpz_mpoly.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kNames[26] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
                          "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z"};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "flint_expand: %s\n", what.c_str());
  std::exit(1);
}

// Variables a up to the last letter used, no more: each one costs room in
// every packed monomial.
int LettersIn(const std::string& text) {
  int count = 1;
  for (char c : text)
    if (c >= 'a' && c <= 'z' && c - 'a' + 1 > count) count = c - 'a' + 1;
  return count;
}

struct Factor {
  std::string text;
  unsigned long power = 1;
};

// The top-level parenthesised factors of a product, each with its power.
std::vector<Factor> SplitFactors(const std::string& text) {
  std::vector<Factor> factors;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '*') {
      ++i;
      continue;
    }
    if (text[i] != '(') Fail("a factor must be in parentheses: " + text);
    size_t depth = 0, start = i;
    for (; i < text.size(); ++i) {
      if (text[i] == '(') ++depth;
      if (text[i] == ')' && --depth == 0) break;
    }
    if (i == text.size()) Fail("unbalanced parentheses: " + text);
    Factor f{text.substr(start + 1, i - start - 1)};
    ++i;
    if (i < text.size() && text[i] == '^') f.power = std::strtoul(text.c_str() + i + 1, nullptr, 10);
    while (i < text.size() && text[i] != '(' && text[i] != '*') ++i;
    factors.push_back(f);
  }
  return factors;
}

// An array-form file: a header "terms , letters", then per term the sign,
// the magnitude and the exponent of each letter.
struct ArrayFile {
  long letters = 0;
  std::vector<std::vector<long>> rows;
};

ArrayFile ReadArrayFile(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) Fail(std::string("cannot open ") + path);
  ArrayFile file;
  long terms = 0;
  if (std::fscanf(f, " %ld , %ld", &terms, &file.letters) != 2) Fail(std::string("no header in ") + path);
  for (long t = 0; t < terms; ++t) {
    std::vector<long> row(static_cast<size_t>(file.letters + 2));
    for (size_t c = 0; c < row.size(); ++c)
      if (std::fscanf(f, c ? " , %ld" : " %ld", &row[c]) != 1) Fail(std::string("short row in ") + path);
    file.rows.push_back(row);
  }
  std::fclose(f);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  bool multiplyOnly = false, files = false;
  int at = 1;
  for (; at < argc && argv[at][0] == '-' && argv[at][1] == '-'; ++at) {
    if (!std::strcmp(argv[at], "--multiply")) multiplyOnly = true;
    else if (!std::strcmp(argv[at], "--files")) files = true;
    else Fail(std::string("unknown option ") + argv[at]);
  }
  if (at >= argc || (!files && at + 1 != argc)) {
    std::fprintf(stderr, "usage: flint_expand [--multiply] EXPRESSION | [--multiply] --files FILE...\n");
    return 2;
  }

  std::vector<ArrayFile> arrays;
  int count = 1;
  if (files) {
    for (int i = at; i < argc; ++i) {
      arrays.push_back(ReadArrayFile(argv[i]));
      if (arrays.back().letters > count) count = static_cast<int>(arrays.back().letters);
    }
  } else {
    count = LettersIn(argv[at]);
  }
  if (count > 26) Fail("more than 26 letters");
  fmpz_mpoly_ctx_t ctx;
  fmpz_mpoly_ctx_init(ctx, count, ORD_DEGLEX);
  fmpz_mpoly_t product;
  fmpz_mpoly_init(product, ctx);

  if (!files && !multiplyOnly) {
    if (fmpz_mpoly_set_str_pretty(product, argv[at], kNames, ctx) != 0) Fail(std::string("cannot read ") + argv[at]);
  } else {
    // The factors, each read or built on its own, then multiplied.
    std::vector<Factor> factors;
    if (!files) factors = SplitFactors(argv[at]);
    const size_t n = files ? arrays.size() : factors.size();
    std::vector<fmpz_mpoly_struct> polys(n);
    for (size_t i = 0; i < n; ++i) {
      fmpz_mpoly_init(&polys[i], ctx);
      if (files) {
        std::vector<ulong> exps(static_cast<size_t>(count), 0);
        for (const std::vector<long>& row : arrays[i].rows) {
          for (long k = 0; k < arrays[i].letters; ++k) exps[static_cast<size_t>(k)] = static_cast<ulong>(row[2 + k]);
          fmpz_mpoly_push_term_si_ui(&polys[i], row[0] * row[1], exps.data(), ctx);
        }
        fmpz_mpoly_sort_terms(&polys[i], ctx);
        fmpz_mpoly_combine_like_terms(&polys[i], ctx);
      } else if (fmpz_mpoly_set_str_pretty(&polys[i], factors[i].text.c_str(), kNames, ctx) != 0) {
        Fail("cannot read " + factors[i].text);
      }
    }
    fmpz_mpoly_set_ui(product, 1, ctx);
    for (size_t i = 0; i < n; ++i) {
      if (!files && factors[i].power != 1) fmpz_mpoly_pow_ui(&polys[i], &polys[i], factors[i].power, ctx);
      fmpz_mpoly_mul(product, product, &polys[i], ctx);
      fmpz_mpoly_clear(&polys[i], ctx);
    }
  }
  if (multiplyOnly) {
    std::printf("%ld terms\n", static_cast<long>(fmpz_mpoly_length(product, ctx)));
  } else {
    fmpz_mpoly_print_pretty(product, kNames, ctx);
    std::printf("\n");
  }
  fmpz_mpoly_clear(product, ctx);
  fmpz_mpoly_ctx_clear(ctx);
  return 0;
}
