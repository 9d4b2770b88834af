// What the process needs of the system before the program runs.
#pragma once

#include <ctime>
#include <string>

namespace platform {

// A write beyond the file size limit (ulimit -f) fails with an error the
// run-time reports, instead of ending the process with SIGXFSZ and leaving
// a file cut short.
void PrepareProcess();

// A command-line argument (the program's own path among them) in CP932;
// this system gives them in UTF-8.
std::string ArgumentToCp932(const char* argument);

// The program's own file name in CP932: on Windows the module's file name
// (GetModuleFileName), which names the program however it was started;
// elsewhere the command line's first word, argv0.
std::string ProgramFileName(const char* argv0);

// The program's exit status on its way out of main. In a web page, where
// the program's waits unwound main long before, this ends the program
// itself (the page learns of the end from it); elsewhere it is returned.
int ProgramEnded(int code);

// How the program was asked to show its window, as ShowWindow counts
// (a Windows shortcut's "Run: Maximized" gives 3, "Minimized" 7); 1, a
// normal window, where nothing asks otherwise.
int StartShowCommand();

// The local time of a moment, safely for threads.
std::tm LocalTime(std::time_t moment);

}  // namespace platform
