// The thread keyboard hook of the run-time's forms: dialog keys for a form
// with controls (Tab and Shift+Tab move the focus among them, Return and
// Space press a button). Keys of a form without controls pass untouched.
#pragma once

#include <windows.h>

namespace platform {

// Installed for the calling thread once the main window shows; removed as
// the program ends.
void InstallKeyboardNavigation();
void RemoveKeyboardNavigation();

// The hook's procedure: 1 when the key was taken (and must not reach the
// window), else what the next hook answers.
LRESULT CALLBACK KeyboardNavigation(int code, WPARAM key, LPARAM info);

}  // namespace platform
