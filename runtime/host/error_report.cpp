#include "runtime/host/error_report.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "runtime/core/files.h"
#include "runtime/core/frame.h"
#include "runtime/host/host.h"
#include "runtime/host/host_texts.h"
#include "runtime/platform/encoding.h"
#include "runtime/platform/registry_store.h"

namespace host {

using platform::RegistryRoot;

std::string TimeText() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return buffer;
}

void WriteErrorRecord(const char* module, int line, int number, uint32_t site) {
  const RegistryRoot u = RegistryRoot::CurrentUser;
  // When the store cannot be written the record is skipped; the report goes on.
  if (!platform::RegistrySetString(u, kErrorKey, "MODL", module)) return;
  platform::RegistrySetDword(u, kErrorKey, "LINE", static_cast<uint16_t>(line));
  platform::RegistrySetDword(u, kErrorKey, "CODE", static_cast<uint16_t>(number));
  platform::RegistrySetDword(u, kErrorKey, "FUNC", site >> 8);
  platform::RegistrySetDword(u, kErrorKey, "INFO", site & 0xFF);
  platform::RegistrySetString(u, kErrorKey, "TIME", TimeText());
  platform::RegistrySetString(u, kErrorKey, "MODE", text::RuntimeMode());
  platform::RegistrySetString(u, kErrorKey, "RTL", text::RuntimeVersion());
}

int MapLastError(uint32_t code) {
  platform::RegistrySetDword(RegistryRoot::CurrentUser, kErrorKey, "APIERR", code);
  return rt::MapPlatformError(code);
}

namespace {
std::string Folder(const std::string& cp932) {
  std::string dir = platform::Cp932ToUtf8(cp932);
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir;
}
}  // namespace

bool LookupErrorText(int number, std::string& text) {
  using GetErrMsg = int (*)(void*, int, char*, int);
  for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
    auto dir = platform::RegistryGetString(root, kEnvKey, "TESSEL");
    if (!dir || dir->size() + 14 > 261) continue;
    std::string path = Folder(*dir) + "T5Q0RE63.DLL";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) continue;
    auto fn = reinterpret_cast<GetErrMsg>(dlsym(library, "$PbGetErrMsg"));
    char buffer[260] = {};
    bool found = fn && fn(library, number, buffer, sizeof buffer) != 0;
    dlclose(library);
    if (found) {
      buffer[sizeof buffer - 1] = '\0';
      text = buffer;
      return true;
    }
  }
  return false;
}

bool ShowHelp(bool on, int lastError) {
  for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
    auto dir = platform::RegistryGetString(root, kEnvKey, "HELP");
    if (!dir || dir->size() + 13 > 261) continue;
    struct stat st;
    if (stat((Folder(*dir) + "T5Q0REF.HLP").c_str(), &st) != 0) continue;
    // Found: nothing to show without an error, and no display here has a
    // help viewer for the file's context numbers.
    (void)on;
    (void)lastError;
    return true;
  }
  return !on || lastError == 0;
}

namespace {
void OnFatalSignal(int sig) {
  const rt::RunState& s = rt::State();
  const char* module = s.currentModule ? s.currentModule->name : nullptr;
  std::string message = text::FatalMessage(module, s.currentLine);
  Host& h = TheHost();
  std::string caption = h.mainWindow() ? h.mainWindow()->title : h.exeBaseName();
  if (h.display()) h.display()->Close();
  std::string line = platform::Cp932ToUtf8(caption) + ": " + platform::Cp932ToUtf8(message) + "\n";
  (void)!write(2, line.data(), line.size());
  const RegistryRoot u = RegistryRoot::CurrentUser;
  platform::RegistrySetString(u, kErrorKey, "XMODL", module ? module : text::UnknownModule());
  platform::RegistrySetDword(u, kErrorKey, "XLINE", static_cast<uint16_t>(s.currentLine));
  platform::RegistrySetString(u, kErrorKey, "XMODE", text::RuntimeMode());
  platform::RegistrySetString(u, kErrorKey, "XRTL", text::RuntimeVersion());
  platform::RegistrySetDword(u, kErrorKey, "XADDR", 0xFFFFFFFFu);
  platform::RegistrySetDword(u, kErrorKey, "XCODE", static_cast<uint32_t>(sig));
  // Then the platform's default handling ends the process.
  signal(sig, SIG_DFL);
  raise(sig);
}
}  // namespace

void InstallFatalSignalReport() {
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) signal(sig, OnFatalSignal);
}

}  // namespace host
