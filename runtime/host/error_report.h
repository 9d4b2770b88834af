// What the host keeps of a run-time error besides the screen: the record in
// the registry store, the external message library, the help file, and the
// report of a fatal signal.
#pragma once

#include <cstdint>
#include <string>

namespace host {

inline constexpr const char* kErrorKey = "Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR";
inline constexpr const char* kEnvKey = "Software\\Norvane\\Tessel V6.3\\ENV";

// "%d/%02d/%02d %02d:%02d:%02d" of the local time.
std::string TimeText();
// MODL, LINE, CODE, FUNC, INFO, TIME, MODE and RTL under the ERROR key.
void WriteErrorRecord(const char* module, int line, int number, uint32_t site);
// Records the platform code as APIERR and maps it to a run-time error.
int MapLastError(uint32_t code);
// The text of an error from the message library "T5Q0RE63.DLL" in the folder
// that the TESSEL value names (machine store first, then the user's).
bool LookupErrorText(int number, std::string& text);
// Opens (on) or closes help on the last error; true on success. Displays
// here have no help viewer: with a help file present nothing is shown.
bool ShowHelp(bool on, int lastError);
// Installs the report of a fatal signal (SIGSEGV and the like).
void InstallFatalSignalReport();

}  // namespace host
