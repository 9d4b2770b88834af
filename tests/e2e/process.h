// Runs a built program with a given standard input and collects what it
// prints and its exit code.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace e2e {

struct Run {
  std::string out, err;
  int exitCode = -1;
};

inline Run RunProgram(const std::string& command, const std::string& input) {
  char inPath[] = "/tmp/tessel-in-XXXXXX";
  char outPath[] = "/tmp/tessel-out-XXXXXX";
  char errPath[] = "/tmp/tessel-err-XXXXXX";
  int fi = mkstemp(inPath), fo = mkstemp(outPath), fe = mkstemp(errPath);
  (void)!write(fi, input.data(), input.size());
  close(fi);
  close(fo);
  close(fe);
  std::string cmd = command + " <" + inPath + " >" + outPath + " 2>" + errPath;
  int status = std::system(cmd.c_str());
  Run r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto slurp = [](const char* path) {
    std::string s;
    if (FILE* f = std::fopen(path, "rb")) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
      std::fclose(f);
    }
    return s;
  };
  r.out = slurp(outPath);
  r.err = slurp(errPath);
  unlink(inPath);
  unlink(outPath);
  unlink(errPath);
  return r;
}

// The Windows build under test, when TESSEL_E2E_WINDOWS names the folder of
// its .exe files: the same sessions then run them under wine64.
inline const char* WindowsBuild() {
  const char* folder = std::getenv("TESSEL_E2E_WINDOWS");
  return folder && *folder ? folder : nullptr;
}

// The WebAssembly build under test, when TESSEL_E2E_WEB names its build
// folder: the same sessions then run its node programs (NAME-node.js).
inline const char* WebBuild() {
  const char* folder = std::getenv("TESSEL_E2E_WEB");
  return folder && *folder ? folder : nullptr;
}

// The command that starts a program: the one built here, its .exe or its
// WebAssembly under node.
inline std::string ProgramCommand(const std::string& built, const char* exe) {
  if (const char* web = WebBuild()) {
    const std::string name(exe, std::string_view(exe).find('.'));
    return std::string("node ") + web + "/" + name + "-node.js";
  }
  const char* folder = WindowsBuild();
  if (!folder) return built;
  return std::string("WINEDEBUG=-all /usr/lib/wine/wine64 ") + folder + "/" + exe;
}

// The values of a key of the Wine registry, as `reg query` lists them
// ("    NAME    REG_DWORD    0x823" lines).
inline std::string WineRegistryKey(const std::string& key) {
  return RunProgram("WINEDEBUG=-all /usr/lib/wine/wine64 reg query '" + key + "'", "").out;
}

// tmux on a server of this test process's own: tests that run at the same
// time never meet one server as it exits when another's last session ends.
// A session that only waits keeps the server up between a test's sessions
// (a new session must not meet the server leaving as the last one ended);
// the server goes when the test process ends, or the waiting session after
// ten minutes.
inline std::string Tmux() {
  struct Server {
    std::string command = "tmux -L tessel-e2e-" + std::to_string(getpid()) + " ";
    Server() { (void)!std::system((command + "new-session -d -s keeper 'sleep 600' 2>/dev/null").c_str()); }
    ~Server() { (void)!std::system((command + "kill-server 2>/dev/null").c_str()); }
  };
  static const Server server;
  return server.command;
}

inline bool Have(const char* tool) {
  std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

}  // namespace e2e
