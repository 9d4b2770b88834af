#include "runtime/host/error_report.h"


#include <cstdio>
#include <ctime>

#include "runtime/core/files.h"
#include "runtime/core/frame.h"
#include "runtime/host/host.h"
#include "runtime/host/host_texts.h"
#include "runtime/platform/dynamic_library.h"
#include "runtime/platform/encoding.h"
#include "runtime/platform/fatal_signal.h"
#include "runtime/platform/files.h"
#include "runtime/platform/process.h"
#include "runtime/platform/registry_store.h"

namespace host {

using platform::RegistryRoot;

std::string TimeText() {
  std::time_t now = std::time(nullptr);
  const std::tm t = platform::LocalTime(now);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return buffer;
}

void WriteErrorRecord(const char* module, int line, int number, uint32_t site) {
  // One change of the store: another run writing its record at the same
  // time never mixes its values with these. When the store cannot be
  // written the record is skipped; the report goes on.
  platform::RegistryChange()
      .String("MODL", module)
      .Dword("LINE", static_cast<uint16_t>(line))
      .Dword("CODE", static_cast<uint16_t>(number))
      .Dword("FUNC", site >> 8)
      .Dword("INFO", site & 0xFF)
      .String("TIME", TimeText())
      .String("MODE", text::RuntimeMode())
      .String("RTL", text::RuntimeVersion())
      .Commit(RegistryRoot::CurrentUser, kErrorKey);
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

namespace {

// The text of the message library in a folder (UTF-8), if it is there and
// gives one.
bool LibraryText(const std::string& folder, int number, std::string& text) {
  using GetErrMsg = int (*)(void*, int, char*, int);
  void* library = platform::LoadTrustedLibrary(folder, "T5Q0RE63.DLL");
  if (!library) return false;
  auto fn = reinterpret_cast<GetErrMsg>(platform::LibrarySymbol(library, "$PbGetErrMsg"));
  char buffer[260] = {};
  const bool found = fn && fn(library, number, buffer, sizeof buffer) != 0;
  platform::UnloadLibrary(library);
  if (!found) return false;
  buffer[sizeof buffer - 1] = '\0';
  text = buffer;
  return true;
}

}  // namespace

bool LookupErrorText(int number, std::string& text) {
  for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
    auto dir = platform::RegistryGetString(root, kEnvKey, "TESSEL");
    if (!dir || dir->size() + 14 > 261) continue;
    std::string folder = platform::Cp932ToUtf8(*dir);
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    if (LibraryText(folder, number, text)) return true;
  }
  // Where no installation names its folder: the library installed with the
  // program (beside it, or in lib/tessel/messages beside its folder), as a
  // build folder or an unpacked archive holds it.
  const std::string program = platform::ProgramFolder();
  if (program.empty()) return false;
  for (const std::string& folder : {program, program + "/../lib/tessel/messages"})
    if (LibraryText(folder, number, text)) return true;
  return false;
}

bool ShowHelp(bool on, int lastError) {
  for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
    auto dir = platform::RegistryGetString(root, kEnvKey, "HELP");
    if (!dir || dir->size() + 13 > 261) continue;
    if (!platform::FileExists(Folder(*dir) + "T5Q0REF.HLP")) continue;
    // Found: nothing to show without an error, and no display here has a
    // help viewer for the file's context numbers.
    (void)on;
    (void)lastError;
    return true;
  }
  return !on || lastError == 0;
}

namespace {
// Where the program stands: read from the run-time's state, nothing else.
void WhereFatal(const char** module, unsigned* line) {
  const rt::RunState& s = rt::State();
  *module = s.currentModule ? s.currentModule->name : nullptr;
  *line = static_cast<uint16_t>(s.currentLine);
}
}  // namespace

void InstallFatalSignalReport() {
  Host& h = TheHost();
  platform::FatalReport report;
  report.caption = platform::Cp932ToUtf8(h.mainWindow() ? h.mainWindow()->title : h.exeBaseName());
  report.message = platform::Cp932ToUtf8(text::FatalMessageStart());
  report.lineEnd = platform::Cp932ToUtf8(text::FatalMessageLineEnd());
  report.unknownModule = platform::Cp932ToUtf8(text::UnknownModule());
  report.mode = text::RuntimeMode();
  report.version = text::RuntimeVersion();
  report.key = kErrorKey;
  platform::InstallFatalSignalReport(report, WhereFatal);
}

}  // namespace host
