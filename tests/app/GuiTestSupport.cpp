#include "tests/app/GuiTestSupport.h"

#include "app/Application.h"
#include "app/Window.h"

namespace {

MessageBoxWatcher* activeWatcher = nullptr;
PopupMenuWatcher* activeMenuWatcher = nullptr;

// The system class of popup menu windows, #32768.
bool IsMenuClass(LPCSTR className) {
  if (IS_INTRESOURCE(className)) return LOWORD(reinterpret_cast<ULONG_PTR>(className)) == 32768;
  return lstrcmpA(className, "#32768") == 0;
}

BOOL CALLBACK InspectChild(HWND child, LPARAM context) {
  auto& box = *reinterpret_cast<ShownMessageBox*>(context);
  char className[32] = {};
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Static") != 0) return TRUE;
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    const HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    box.errorIcon = box.errorIcon || icon == LoadIconA(nullptr, IDI_HAND);
    box.questionIcon = box.questionIcon || icon == LoadIconA(nullptr, IDI_QUESTION);
  } else {
    const std::string text = WindowText(child, 4096);
    if (!text.empty()) box.text = text;
  }
  return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(int answer) : answer_(answer) {
  activeWatcher = this;
  hook_ = HookHandle(SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId()));
}

MessageBoxWatcher::~MessageBoxWatcher() {
  hook_.Reset();
  activeWatcher = nullptr;
}

LRESULT CALLBACK MessageBoxWatcher::Hook(int code, WPARAM wParam, LPARAM lParam) {
  MessageBoxWatcher* watcher = activeWatcher;
  const HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_DESTROYWND && watcher) {
    auto& open = watcher->open_;
    open.erase(std::remove(open.begin(), open.end(), window), open.end());
  }
  if (code == HCBT_ACTIVATE && watcher &&
      std::find(watcher->open_.begin(), watcher->open_.end(), window) == watcher->open_.end()) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    // A message box is the dialog class with the text and buttons already in place when it
    // is activated.
    if (lstrcmpA(className, "#32770") == 0) {
      watcher->open_.push_back(window);
      ShownMessageBox box;
      box.caption = WindowText(window, 1024);
      EnumChildWindows(window, InspectChild, reinterpret_cast<LPARAM>(&box));
      for (const int button : {IDOK, IDCANCEL, IDYES, IDNO}) {
        if (GetDlgItem(window, button)) box.buttons.push_back(button);
      }
      watcher->boxes_.push_back(box);
      if (watcher->whileShown) watcher->whileShown(window);
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(watcher->answer_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(window, watcher->answer_)));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

PopupMenuWatcher::PopupMenuWatcher(UINT message, WPARAM key) : message_(message), key_(key) {
  activeMenuWatcher = this;
  creationHook_ =
      HookHandle(SetWindowsHookExA(WH_CBT, CreationHook, nullptr, GetCurrentThreadId()));
  messageHook_ =
      HookHandle(SetWindowsHookExA(WH_GETMESSAGE, MessageHook, nullptr, GetCurrentThreadId()));
}

PopupMenuWatcher::~PopupMenuWatcher() {
  creationHook_.Reset();
  messageHook_.Reset();
  activeMenuWatcher = nullptr;
}

LRESULT CALLBACK PopupMenuWatcher::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  PopupMenuWatcher* watcher = activeMenuWatcher;
  if (code == HCBT_CREATEWND && watcher &&
      IsMenuClass(reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass)) {
    watcher->focusWhenOpened_ = GetFocus();
    // The menu's modal loop takes it once the menu is in place on the screen.
    PostMessageA(reinterpret_cast<HWND>(wParam), watcher->message_, watcher->key_, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK PopupMenuWatcher::MessageHook(int code, WPARAM wParam, LPARAM lParam) {
  PopupMenuWatcher* watcher = activeMenuWatcher;
  const MSG& message = *reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && watcher && message.message == watcher->message_ &&
      message.wParam == watcher->key_) {
    char className[16] = {};
    GetClassNameA(message.hwnd, className, sizeof className);
    if (lstrcmpA(className, "#32768") == 0) {
      RECT bounds{};
      GetWindowRect(message.hwnd, &bounds);
      watcher->opened_.push_back({bounds.left, bounds.top});
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void PumpMessages() {
  // Messages that dispatching posts are handled too; a few rounds settle everything.
  for (int round = 0; round < 3; ++round) Application.ProcessMessages();
}

void PressKey(WORD key, const std::vector<WORD>& modifiers) {
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags =
        (up ? KEYEVENTF_KEYUP : 0) | (virtualKey == VK_DELETE ? KEYEVENTF_EXTENDEDKEY : 0);
    inputs.push_back(input);
  };
  for (const WORD modifier : modifiers) add(modifier, false);
  add(key, false);
  add(key, true);
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) add(*it, true);
  SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
  PumpMessages();
}

RECT WindowBounds(HWND window) {
  RECT bounds{};
  GetWindowRect(window, &bounds);
  return bounds;
}
