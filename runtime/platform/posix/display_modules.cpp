// The displays that need libraries of their own are modules: the window
// (tessel-window.so, built where Qt 6 is installed) and the terminal
// (tessel-terminal.so, ncurses). Each is loaded from beside the program, or
// from lib/tessel/displays beside the folder it is installed in, only when that
// display is chosen, so that the others start without those libraries.
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/platform/display.h"
#include "runtime/platform/dynamic_library.h"

namespace platform {
namespace {

// True when a local socket accepts a connection.
bool Connectable(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

// The display a module's entry makes; null with the reason when the module
// is not installed or cannot be loaded. A loaded module stays loaded for the
// rest of the process.
std::unique_ptr<Display> LoadDisplayModule(const char* what, const std::string& file, const char* entry,
                                           std::string& problem) {
  problem.clear();
  const std::string folder = ProgramFolder();
  bool present = false;
  for (const std::string& where : {folder, folder + "/../lib/tessel/displays"}) {
    if (access((where + "/" + file).c_str(), F_OK) != 0) continue;
    present = true;
    void* module = LoadTrustedLibrary(where, file);
    // The entry makes the display, or says why it cannot. (Its name changed
    // with its arguments: a module of another version is not loaded.)
    using Create = Display* (*)(char* problem, size_t size);
    auto create = reinterpret_cast<Create>(LibrarySymbol(module, entry));
    if (!create) {
      problem = where + "/" + file + " cannot be loaded";
      UnloadLibrary(module);
      continue;
    }
    char reason[512] = "";
    if (Display* display = create(reason, sizeof reason)) return std::unique_ptr<Display>(display);
    problem = reason[0] ? reason : std::string("the ") + what + " display could not start";
    return nullptr;
  }
  if (!present) problem = std::string("the ") + what + " display (" + file + ") is not installed beside the program";
  return nullptr;
}

}  // namespace

void NoticeOnDesktop(const std::string& utf8) {
  // notify-send (libnotify-bin), where the desktop has it; not waited for.
  const char* argv[] = {"notify-send", "--app-name=tessel", "tessel", utf8.c_str(), nullptr};
  pid_t pid;
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnp(&pid, "notify-send", &quiet, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&quiet);
}

bool DesktopReachable() {
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  if (qpa && *qpa) return true;  // chosen explicitly (offscreen, for example)
  const char* w = std::getenv("WAYLAND_DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (w && *w && (w[0] == '/' ? Connectable(w) : runtime && Connectable(std::string(runtime) + "/" + w)))
    return true;
  const char* x = std::getenv("DISPLAY");
  if (!x || !*x) return false;
  if (x[0] != ':') return true;  // a remote display: let Qt try it
  std::string number(x + 1);
  number = number.substr(0, number.find('.'));
  return Connectable("/tmp/.X11-unix/X" + number);
}

std::unique_ptr<Display> CreateWindowDisplay(std::string& problem) {
  return LoadDisplayModule("window", "tessel-window.so", "TesselNewWindowDisplay", problem);
}

std::unique_ptr<Display> CreateTerminalDisplay(std::string& problem) {
  return LoadDisplayModule("terminal", "tessel-terminal.so", "TesselNewTerminalDisplay", problem);
}

}  // namespace platform
