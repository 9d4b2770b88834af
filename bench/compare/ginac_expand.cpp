// Expands one product of powers of sums with GiNaC: parse, expand, print.
// The whole-process comparison runs it beside `equation`.
#include <ginac/ginac.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: ginac_expand EXPRESSION\n";
    return 2;
  }
  try {
    GiNaC::parser reader;
    GiNaC::ex e = GiNaC::expand(reader(argv[1]));
    std::cout << e << '\n';
  } catch (const std::exception& error) {
    std::cerr << "ginac_expand: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
