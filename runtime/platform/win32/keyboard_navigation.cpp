#include "runtime/platform/win32/keyboard_navigation.h"

namespace platform {
namespace {

HHOOK hook = nullptr;
HWND pressed = nullptr;  // the button Return or Space went down on

bool ClassIs(HWND h, const wchar_t* name) {
  wchar_t kind[64];
  return GetClassNameW(h, kind, 64) && lstrcmpiW(kind, name) == 0;
}

// A form of the run-time: its class is "T5Q0WC" and the form's name.
bool RunTimeForm(HWND h) {
  wchar_t kind[64];
  return h && GetClassNameW(h, kind, 64) && CompareStringOrdinal(kind, 6, L"T5Q0WC", 6, TRUE) == CSTR_EQUAL;
}

bool TakesTab(HWND h) {
  const LONG style = GetWindowLongW(h, GWL_STYLE);
  return (style & WS_TABSTOP) && IsWindowEnabled(h) && IsWindowVisible(h);
}

// The next child of the form after this one in z-order (before it, going
// back), around the end, that takes the focus by Tab; null when no other
// does.
HWND NextTabStop(HWND form, HWND from, bool back) {
  HWND h = from;
  for (;;) {
    h = GetWindow(h, back ? GW_HWNDPREV : GW_HWNDNEXT);
    if (!h) h = GetWindow(from, back ? GW_HWNDLAST : GW_HWNDFIRST);
    if (!h || h == from) return nullptr;
    if (GetParent(h) == form && TakesTab(h)) return h;
  }
}

}  // namespace

LRESULT CALLBACK KeyboardNavigation(int code, WPARAM key, LPARAM info) {
  const auto pass = [&] { return CallNextHookEx(hook, code, key, info); };
  if (code != HC_ACTION || (key != VK_TAB && key != VK_RETURN && key != VK_SPACE)) return pass();
  if ((info & (1 << 29)) || GetCapture()) return pass();  // with Alt; while the mouse is captured
  HWND form = GetForegroundWindow();
  HWND focus = GetFocus();
  if (!RunTimeForm(form) || !focus) return pass();
  // The edit of a combo box stands for the combo box.
  HWND parent = GetParent(focus);
  if (parent && parent != form && ClassIs(parent, L"ComboBox")) focus = parent;
  if (GetParent(focus) != form) return pass();
  if (!IsWindowEnabled(form) || !IsWindowEnabled(focus)) return 1;
  const bool down = !(info & (1u << 31)), first = !(info & (1 << 30));
  if (key == VK_TAB) {
    if (GetKeyState(VK_CONTROL) < 0 && ClassIs(focus, L"Edit")) {
      if (down) PostMessageW(focus, WM_CHAR, 9, 0);  // Ctrl+Tab types a tab in an edit
      return 1;
    }
    HWND next = NextTabStop(form, focus, GetKeyState(VK_SHIFT) < 0);
    if (!next) return pass();
    if (down && first) SetFocus(next);
    return 1;
  }
  if (!ClassIs(focus, L"Button") && !ClassIs(focus, L"T5Q0BmpBClass")) return pass();
  if (down) {
    PostMessageW(focus, BM_SETSTATE, 1, 0);
    pressed = focus;
  } else {
    PostMessageW(focus, BM_SETSTATE, 0, 0);
    if (pressed == focus) PostMessageW(focus, BM_CLICK, 0, 0);
    pressed = nullptr;
  }
  return 1;
}

void InstallKeyboardNavigation() {
  if (!hook) hook = SetWindowsHookExW(WH_KEYBOARD, KeyboardNavigation, nullptr, GetCurrentThreadId());
}

void RemoveKeyboardNavigation() {
  if (hook) UnhookWindowsHookEx(hook);
  hook = nullptr;
  pressed = nullptr;
}

}  // namespace platform
