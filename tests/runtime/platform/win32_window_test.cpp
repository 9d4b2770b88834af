// The real window on Windows (needs a desktop: under wine, an X display):
// the classes the run-time registers and the main window made of one, the
// messages other programs send it, and the keyboard hook's dialog keys.
#include "runtime/platform/display.h"  // before windows.h, whose macros share the message names
#include "runtime/platform/dynamic_library.h"
#include "runtime/platform/message_queue.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/platform/win32/keyboard_navigation.h"

// The run-time's window procedure, as the host exports it.
extern "C" intptr_t __stdcall $PbMainWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

namespace platform {
namespace {

void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

TEST(Win32Window, TheRunTimesClassAndTheMessagesOfOtherPrograms) {
  std::string problem;
  std::unique_ptr<Display> display = CreateWindowDisplay(problem);
  ASSERT_TRUE(display) << problem;
  void* procedure = ProgramSymbol("$PbMainWndProc");
  ASSERT_EQ(procedure, reinterpret_cast<void*>(&$PbMainWndProc)) << "the window procedure is not exported by name";
  EXPECT_FALSE(display->RegisterWindowClass({"T5Q0CLASS", nullptr, "", true}));
  ASSERT_TRUE(display->RegisterWindowClass({"T5Q0CLASS", procedure, "T5q0dflt", true}));
  EXPECT_TRUE(display->RegisterWindowClass({"T5Q0CLASS", procedure, "T5q0dflt", true}));  // it exists
  ASSERT_TRUE(display->CreateMainWindow("T5Q0CLASS")) << "no window: is there a desktop (DISPLAY)?";
  EXPECT_FALSE(display->CreateMainWindow("T5Q0CLASS"));  // one main window
  HWND h = FindWindowW(L"T5Q0CLASS", nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(GetClassLongPtrW(h, GCLP_WNDPROC)), procedure);
  EXPECT_EQ(GetClassLongPtrW(h, GCL_CBWNDEXTRA), 4u);
  EXPECT_EQ(GetClassLongPtrW(h, GCLP_HCURSOR), 0u);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(GetClassLongPtrW(h, GCLP_HBRBACKGROUND)), GetStockObject(BLACK_BRUSH));
  EXPECT_TRUE(GetClassLongPtrW(h, GCL_STYLE) & CS_DBLCLKS);
  EXPECT_NE(GetClassLongPtrW(h, GCLP_HICON), 0u);  // no "T5q0dflt" here: the standard icon
  EXPECT_EQ(GetWindowLongW(h, 0), 1);              // the host's handle of the window

  // The copy format is the host's: asked and set at once, not queued.
  MessageQueue queue;
  std::vector<Message> received;
  queue.SetReceiver([&](const Message& m) {
    received.push_back(m);
    return m.message == 0x0400 ? 14 : 1;
  });
  display->Connect(queue);
  EXPECT_EQ(SendMessageW(h, WM_USER, 0, 0), 14);
  EXPECT_EQ(SendMessageW(h, WM_USER + 1, 2, 0), 1);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].message, 0x0401u);
  EXPECT_EQ(received[1].wParam, 2u);
  EXPECT_TRUE(queue.Empty());

  // The grid's font, and another one given (which stays the giver's).
  EXPECT_NE(SendMessageW(h, WM_GETFONT, 0, 0), 0);
  const HGDIOBJ given = GetStockObject(ANSI_FIXED_FONT);
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(given), TRUE);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)), given);
  // Over its client area the window sets the cursor itself.
  EXPECT_EQ(SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  display->Close();
  EXPECT_FALSE(IsWindow(h));
}

// A form with controls: Tab moves among those that take it (Shift+Tab
// back, around the end), Return presses a button; keys of a form without
// controls, and of windows not the run-time's, pass.
int clickedButton = 0;

LRESULT CALLBACK FormProcedure(HWND h, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_COMMAND && HIWORD(w) == BN_CLICKED) clickedButton = LOWORD(w);
  return DefWindowProcW(h, message, w, l);
}

TEST(Win32Window, DialogKeysOfAFormWithControls) {
  WNDCLASSW c{};
  c.lpfnWndProc = FormProcedure;
  c.hInstance = GetModuleHandleW(nullptr);
  c.lpszClassName = L"T5Q0WCNAVIGATION";
  RegisterClassW(&c);
  HWND form = CreateWindowW(L"T5Q0WCNAVIGATION", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                            nullptr, nullptr, c.hInstance, nullptr);
  ASSERT_NE(form, nullptr) << "no window: is there a desktop (DISPLAY)?";
  HWND buttons[3];
  for (int i = 0; i < 3; ++i)
    buttons[i] = CreateWindowW(L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 10 + 40 * i,
                               80, 30, form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), c.hInstance,
                               nullptr);
  EnableWindow(buttons[1], FALSE);
  SetForegroundWindow(form);
  Pump();
  ASSERT_EQ(GetForegroundWindow(), form);
  SetFocus(buttons[0]);
  const LPARAM firstDown = 1, up = static_cast<LPARAM>(0xC0000001u);
  BYTE keys[256] = {};
  SetKeyboardState(keys);
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, VK_TAB, firstDown), 1);
  EXPECT_EQ(GetFocus(), buttons[2]);  // the disabled one is passed over
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, VK_TAB, up), 1);
  EXPECT_EQ(GetFocus(), buttons[2]);
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, VK_TAB, firstDown), 1);
  EXPECT_EQ(GetFocus(), buttons[0]);  // around the end
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, VK_TAB, firstDown), 1);
  EXPECT_EQ(GetFocus(), buttons[2]);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, 'A', firstDown), 0);  // other keys pass

  // Return on a button: pressed on the way down, clicked on the way up.
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, VK_RETURN, firstDown), 1);
  Pump();
  EXPECT_NE(SendMessageW(buttons[2], BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, VK_RETURN, up), 1);
  Pump();
  EXPECT_EQ(SendMessageW(buttons[2], BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
  EXPECT_EQ(clickedButton, 102);

  // The form itself focused (no control): the key passes.
  SetFocus(form);
  EXPECT_EQ(KeyboardNavigation(HC_ACTION, VK_TAB, firstDown), 0);
  DestroyWindow(form);
}

}  // namespace
}  // namespace platform
