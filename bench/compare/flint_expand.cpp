// Expands one product of powers of sums with FLINT, the way a user of the
// library would: parse, expand, print. The whole-process comparison runs it
// beside `equation` on the same expression.
#include <flint/fmpz_mpoly.h>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: flint_expand EXPRESSION  (letters a to z, + - * ^ and parentheses)\n");
    return 2;
  }
  // Variables a up to the last letter used, no more: each one costs room
  // in every packed monomial.
  int count = 1;
  for (const char* c = argv[1]; *c; ++c)
    if (*c >= 'a' && *c <= 'z' && *c - 'a' + 1 > count) count = *c - 'a' + 1;
  const char* names[26];
  static char letters[26][2];
  for (int i = 0; i < 26; ++i) {
    letters[i][0] = static_cast<char>('a' + i);
    names[i] = letters[i];
  }
  fmpz_mpoly_ctx_t ctx;
  fmpz_mpoly_ctx_init(ctx, count, ORD_DEGLEX);
  fmpz_mpoly_t p;
  fmpz_mpoly_init(p, ctx);
  if (fmpz_mpoly_set_str_pretty(p, argv[1], names, ctx) != 0) {
    fprintf(stderr, "flint_expand: cannot read %s\n", argv[1]);
    return 1;
  }
  fmpz_mpoly_print_pretty(p, names, ctx);
  printf("\n");
  fmpz_mpoly_clear(p, ctx);
  fmpz_mpoly_ctx_clear(ctx);
  return 0;
}
