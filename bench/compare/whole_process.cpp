// Whole-process comparison: `equation` in the stream display, answering its
// dialogue from a file, against small FLINT and GiNaC drivers expanding the
// same expressions. What a user waits for is the whole process, start-up and
// printing included, so that is what is timed. The programs run interleaved,
// round after round, so that a busy moment of the machine falls on all of
// them alike; the table gives medians, the ratio of `equation` to each
// library, and the largest peak memory seen.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Case {
  const char* typed;    // as typed to `equation`
  const char* library;  // the same in the libraries' syntax
};

const Case kCases[] = {
    {"(a+b)(a-b)", "(a+b)*(a-b)"},
    {"(a+b+c+d+e)10", "(a+b+c+d+e)^10"},
    {"(a+b+c+d+e+f+g+h+i)10", "(a+b+c+d+e+f+g+h+i)^10"},
};

struct Program {
  std::string name;
  std::string path;     // empty: skipped
  std::string missing;  // why it is skipped
};

struct Sample {
  std::vector<double> ms;
  long peakKb = 0;
};

// Runs one process with stdin from `input` (or /dev/null) and stdout to
// /dev/null; returns its wall time in ms and adds its peak memory.
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

  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(errno));
    std::exit(1);
  }
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed (status %d): the comparison means nothing\n", argv[0], status);
    std::exit(1);
  }
  sample.peakKb = std::max(sample.peakKb, usage.ru_maxrss);
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Dialogue(const Case& c) {
  char path[] = "/tmp/tessel-compare-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    std::perror("mkstemp");
    std::exit(1);
  }
  // Start, type the expression by hand, do not save it, and end.
  const std::string text = std::string("y\nm\n") + c.typed + "\nn\ny\n";
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    std::perror("write");
    std::exit(1);
  }
  close(fd);
  return path;
}

Program Library(const char* name, const char* path, const char* package) {
  if (*path && access(path, X_OK) == 0) return {name, path, ""};
  return {name, "", std::string("skipped (") + package + " is not installed)"};
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 21;
  std::string equation = TESSEL_EQUATION;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--equation") && i + 1 < argc) equation = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--rounds N] [--equation PATH]\n", argv[0]);
      return 2;
    }
  }
  std::vector<Program> programs = {{"equation", equation, ""},
                                   Library("FLINT", TESSEL_FLINT_DRIVER, "libflint-dev"),
                                   Library("GiNaC", TESSEL_GINAC_DRIVER, "libginac-dev")};
  const size_t caseCount = sizeof kCases / sizeof kCases[0];
  std::vector<std::string> inputs;
  for (const Case& c : kCases) inputs.push_back(Dialogue(c));
  std::vector<std::vector<Sample>> samples(caseCount, std::vector<Sample>(programs.size()));

  // One round runs every case with every program; the first round only warms
  // the caches and is not counted.
  for (int round = 0; round <= rounds; ++round) {
    for (size_t c = 0; c < caseCount; ++c) {
      for (size_t p = 0; p < programs.size(); ++p) {
        if (programs[p].path.empty()) continue;
        Sample& s = samples[c][p];
        double ms = p == 0 ? RunOnce({programs[p].path}, {"TESSEL_DISPLAY=stream"}, inputs[c], s)
                           : RunOnce({programs[p].path, kCases[c].library}, {}, "", s);
        if (round > 0) s.ms.push_back(ms);
      }
    }
  }
  for (const std::string& path : inputs) unlink(path.c_str());

  std::printf("Whole process, %d interleaved rounds: median wall time in ms, ratio of equation to the\n"
              "library, largest peak memory in MB.\n\n",
              rounds);
  std::printf("%-24s %16s", "expression", "equation");
  for (size_t p = 1; p < programs.size(); ++p) std::printf(" %24s", programs[p].name.c_str());
  std::printf("\n");
  for (size_t c = 0; c < caseCount; ++c) {
    const double own = Median(samples[c][0].ms);
    std::printf("%-24s %7.2f ms %4.1f MB", kCases[c].typed, own, samples[c][0].peakKb / 1024.0);
    for (size_t p = 1; p < programs.size(); ++p) {
      if (programs[p].path.empty()) {
        std::printf(" %24s", "-");
        continue;
      }
      const double theirs = Median(samples[c][p].ms);
      std::printf(" %7.2f ms %4.1f MB %4.2fx", theirs, samples[c][p].peakKb / 1024.0, own / theirs);
    }
    std::printf("\n");
  }
  for (const Program& p : programs)
    if (p.path.empty()) std::printf("%s: %s\n", p.name.c_str(), p.missing.c_str());
  return 0;
}
