// The one place that loads code: the program's own exported routines (the
// form player's window procedure and event handlers), and the message library
// from its folder.
#pragma once

#include <string>

// A routine the program exports by name, for ProgramSymbol to find.
#if defined(_WIN32)
#define TESSEL_EXPORTED extern "C" __declspec(dllexport)
#else
#define TESSEL_EXPORTED extern "C" __attribute__((visibility("default")))
#endif

namespace platform {

// A routine the program exports, or null.
void* ProgramSymbol(const std::string& name);

// The folder of the running program (UTF-8, absolute), where the libraries
// installed with it are looked for; empty when it cannot be known.
std::string ProgramFolder();

// A library loaded from an absolute folder, only when the folder and the file
// belong to this user or to root and no one else can write them (anything
// else could be someone else's code); null otherwise.
void* LoadTrustedLibrary(const std::string& utf8Folder, const std::string& file);
void* LibrarySymbol(void* library, const std::string& name);
void UnloadLibrary(void* library);

}  // namespace platform
