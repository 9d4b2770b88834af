// Whole-process comparison: `equation` and `polymul` in the stream display,
// answering their dialogue from a file, against small FLINT (and GiNaC)
// drivers doing the same work. What a user waits for is the whole process,
// start-up and printing included, so that is what is measured: the CPU time
// (user + system) and the peak resident memory of each process. The programs
// run interleaved, round after round, so that a busy moment of the machine
// falls on all of them alike; the table gives medians and the ratios of ours
// to FLINT's whole process (parse, expand, print) and to FLINT's product
// alone (the factors read, multiplied, nothing printed).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Case {
  std::string label;
  bool polymul;         // false: equation on a typed expression
  std::string typed;    // equation: the expression; polymul: the file names, one per line
  std::string library;  // FLINT's expression, or "--files" and the file names
  bool light = false;   // a case of milliseconds, given more rounds
};

// Nine letters from letter 7k on, round the alphabet: factor k of the
// products over 26 letters.
std::string NineLetters(int k, const char* plus) {
  std::string text = "(";
  for (int j = 0; j < 9; ++j) {
    if (j) text += plus;
    text += static_cast<char>('a' + (7 * k + j) % 26);
  }
  return text + ")";
}

std::string Product(int from, int to, const char* times) {
  std::string text;
  for (int k = from; k < to; ++k) text += (k > from ? times : "") + NineLetters(k, "+");
  return text;
}

std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {"(a+b)(a-b)", false, "(a+b)(a-b)", "(a+b)*(a-b)", true},
      {"(a+b+c+d+e)10", false, "(a+b+c+d+e)10", "(a+b+c+d+e)^10", true},
      {"(a+...+i)10", false, "(a+b+c+d+e+f+g+h+i)10", "(a+b+c+d+e+f+g+h+i)^10", true},
  };
  for (int n = 5; n <= 7; ++n)
    cases.push_back({std::to_string(n) + " nine-letter factors", false, Product(0, n, ""), Product(0, n, "*")});
  cases.push_back({"polymul (a+...+i)5 x2", true, "nine5.txt\nnine5.txt\n", "--files nine5.txt nine5.txt", true});
  cases.push_back({"polymul 4 x 3 factors", true, "half4.txt\nhalf3.txt\n", "--files half4.txt half3.txt"});
  cases.push_back({"polymul 300x300 random", true, "rand1.txt\nrand2.txt\n", "--files rand1.txt rand2.txt"});
  return cases;
}

struct Program {
  std::string name;
  std::string path;     // empty: skipped
  std::string missing;  // why it is skipped
};

struct Sample {
  std::vector<double> cpuMs;
  long peakKb = 0;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs one process with stdin from `input` (or /dev/null) and stdout to
// /dev/null; returns its CPU time in ms and adds its peak memory.
double RunOnce(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& input, Sample& sample) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(errno));
    std::exit(1);
  }
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed (status %d): the comparison means nothing\n", argv[0], status);
    std::exit(1);
  }
  sample.peakKb = std::max(sample.peakKb, usage.ru_maxrss);
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

std::string Number(long v) { return v < 0 ? std::to_string(v) + " " : " " + std::to_string(v) + " "; }

// Two files of 300 terms over three letters with exponents up to 100,000,
// as equation would have saved them (the normal-form text aside).
void WriteRandomFiles() {
  std::mt19937 rng(2026);
  for (const char* name : {"rand1.txt", "rand2.txt"}) {
    std::string text = Number(300) + "," + Number(3) + "\r\n";
    for (int t = 0; t < 300; ++t) {
      text += Number(rng() % 2 ? 1 : -1) + "," + Number(1 + rng() % 999);
      for (int k = 0; k < 3; ++k) text += "," + Number(rng() % 100001);
      text += "\r\n";
    }
    WriteText(name, text + "+a\r\n\x1A");
  }
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  std::string equation = TESSEL_EQUATION, polymul = TESSEL_POLYMUL, only;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--equation") && i + 1 < argc) equation = argv[++i];
    else if (!std::strcmp(argv[i], "--polymul") && i + 1 < argc) polymul = argv[++i];
    else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--rounds N] [--equation PATH] [--polymul PATH] [--only TEXT]\n"
                   "  --only TEXT  runs only the cases whose label holds TEXT\n", argv[0]);
      return 2;
    }
  }
  auto library = [](const char* name, const char* path, const char* package) -> Program {
    if (*path && access(path, X_OK) == 0) return {name, path, ""};
    return {name, "", std::string("skipped (") + package + " is not installed)"};
  };
  const Program flint = library("FLINT", TESSEL_FLINT_DRIVER, "libflint-dev");
  const Program ginac = library("GiNaC", TESSEL_GINAC_DRIVER, "libginac-dev");

  // The programs work in a folder of their own, where polymul's files are.
  char folder[] = "/tmp/tessel-compare-XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) {
    std::perror("temporary folder");
    return 1;
  }
  const std::vector<std::string> env = {"TESSEL_DISPLAY=stream", std::string("XDG_CONFIG_HOME=") + folder};
  Sample scratch;
  auto save = [&](const std::string& expression, const char* file) {
    WriteText("save.in", "y\nm\n" + expression + "\ny\nd\n" + file + "\ny\n");
    RunOnce({equation}, env, "save.in", scratch);
  };
  save("(a+b+c+d+e+f+g+h+i)5", "nine5.txt");
  save(Product(0, 4, ""), "half4.txt");
  save(Product(4, 7, ""), "half3.txt");
  WriteRandomFiles();

  std::vector<Case> cases = Cases();
  if (!only.empty())
    cases.erase(std::remove_if(cases.begin(), cases.end(),
                               [&](const Case& c) { return c.label.find(only) == std::string::npos; }),
                cases.end());
  std::vector<std::string> inputs;
  for (size_t c = 0; c < cases.size(); ++c) {
    const std::string path = "dialogue" + std::to_string(c) + ".in";
    // Start, give the expression or the files, do not save, and end.
    WriteText(path, cases[c].polymul ? "y\n" + std::to_string(2) + "\n" + cases[c].typed + "n\ny\n"
                                     : "y\nm\n" + cases[c].typed + "\nn\ny\n");
    inputs.push_back(path);
  }
  // Per case: ours, FLINT's whole process, FLINT's product alone, GiNaC.
  enum { kOurs, kFlint, kFlintProduct, kGinac, kColumns };
  std::vector<std::vector<Sample>> samples(cases.size(), std::vector<Sample>(kColumns));
  auto libraryArgs = [](const Program& p, const Case& c, bool productOnly) {
    std::vector<std::string> args = {p.path};
    if (productOnly) args.push_back("--multiply");
    size_t from = 0;
    for (size_t to; (to = c.library.find(' ', from)) != std::string::npos; from = to + 1)
      args.push_back(c.library.substr(from, to - from));
    args.push_back(c.library.substr(from));
    return args;
  };
  // The first round only warms the caches and is not counted; light cases
  // run four times as many rounds.
  for (int round = 0; round <= 4 * rounds; ++round) {
    for (size_t c = 0; c < cases.size(); ++c) {
      if (round > rounds && !cases[c].light) continue;
      auto keep = [&](int column, double ms) {
        if (round > 0) samples[c][column].cpuMs.push_back(ms);
      };
      keep(kOurs, RunOnce({cases[c].polymul ? polymul : equation}, env, inputs[c], samples[c][kOurs]));
      if (!flint.path.empty()) {
        keep(kFlint, RunOnce(libraryArgs(flint, cases[c], false), {}, "", samples[c][kFlint]));
        keep(kFlintProduct, RunOnce(libraryArgs(flint, cases[c], true), {}, "", samples[c][kFlintProduct]));
      }
      if (!ginac.path.empty() && !cases[c].polymul)
        keep(kGinac, RunOnce({ginac.path, cases[c].library}, {}, "", samples[c][kGinac]));
    }
  }

  std::printf("Whole process, medians of %d interleaved rounds (%d for the light cases): CPU time\n"
              "(user + system) and peak resident memory. Ratios are ours / FLINT's: its whole\n"
              "process (parse, expand, print) and its product alone (nothing printed).\n\n",
              rounds, 4 * rounds);
  std::printf("%-26s %20s %20s %12s %20s %8s", "work", "ours", "FLINT", "ratio t/mem", "FLINT product",
              "ratio t");
  if (!ginac.path.empty()) std::printf(" %20s", "GiNaC");
  std::printf("\n");
  auto cell = [&](const Sample& s) { std::printf(" %10.1f ms %5.1f MB", Median(s.cpuMs), s.peakKb / 1024.0); };
  for (size_t c = 0; c < cases.size(); ++c) {
    const std::vector<Sample>& s = samples[c];
    std::printf("%-26s", cases[c].label.c_str());
    cell(s[kOurs]);
    if (!flint.path.empty()) {
      cell(s[kFlint]);
      std::printf("  %4.2fx %4.2fx", Median(s[kOurs].cpuMs) / Median(s[kFlint].cpuMs),
                  static_cast<double>(s[kOurs].peakKb) / static_cast<double>(s[kFlint].peakKb));
      cell(s[kFlintProduct]);
      std::printf("   %4.2fx", Median(s[kOurs].cpuMs) / Median(s[kFlintProduct].cpuMs));
    }
    if (!ginac.path.empty() && !cases[c].polymul) cell(s[kGinac]);
    std::printf("\n");
  }
  for (const Program& p : {flint, ginac})
    if (p.path.empty()) std::printf("%s: %s\n", p.name.c_str(), p.missing.c_str());
  // The folder and everything the programs wrote in it go.
  const std::string cleanup = std::string("rm -rf ") + folder;
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", folder);
  return 0;
}
