#include "app/Application.h"

#include <algorithm>

#include "app/TextRules.h"

namespace {

const char kWindowClass[] = "TApplication";

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

std::string LowerCase(const std::string& text) {
  std::string lower = text;
  if (!lower.empty()) CharLowerA(lower.data());
  return lower;
}

std::string ModuleFileName() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length < buffer.size()) return buffer.substr(0, length);
    buffer.resize(buffer.size() * 2);  // cut short: try again with more room
  }
}

std::string AnsiFromOem(const std::string& oem) {
  std::string ansi = oem;
  if (!ansi.empty()) OemToCharA(ansi.data(), ansi.data());
  return ansi;
}

WindowClassHandle RegisterApplicationClass(HICON icon) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hIcon = icon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClass;
  return WindowClassHandle(RegisterClassExA(&windowClass));
}

struct ThreadWindows {
  HWND except;
  std::vector<HWND> disabled;
};

BOOL CALLBACK DisableWindow(HWND window, LPARAM context) {
  auto& windows = *reinterpret_cast<ThreadWindows*>(context);
  if (window != windows.except && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    windows.disabled.push_back(window);
  }
  return TRUE;
}

}  // namespace

TApplication Application;

TApplication::TApplication()
    : title_(ApplicationTitle(AnsiFromOem(ModuleFileName()), IsLeadByte, LowerCase)),
      icon_(LoadIconA(GetModuleHandleA(nullptr), "MAINICON")) {
  if (!icon_) icon_ = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass_ = RegisterApplicationClass(icon_);
  // Zero size at the centre of the screen: invisible itself, and message boxes it owns are
  // centred on the screen.
  CreateHandle(0, kWindowClass, title_,
               WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
               GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr);
}

TApplication::~TApplication() {
  DestroyForms();
  DestroyHandle();  // before the window class goes
}

void TApplication::AddForm(std::unique_ptr<ApplicationWindow> form) {
  if (!mainForm_) mainForm_ = form.get();
  forms_.push_back(std::move(form));
}

void TApplication::DestroyForms() {
  mainForm_ = nullptr;
  while (!forms_.empty()) forms_.pop_back();
  UpdateVisible();
}

void TApplication::Run(int showCommand) {
  if (!mainForm_) return;
  terminated_ = false;
  ShowMainForm(showCommand);
  while (!terminated_) {
    try {
      MSG message;
      const BOOL result = GetMessageA(&message, nullptr, 0, 0);
      if (result == 0) {
        terminated_ = true;
      } else if (result == -1) {
        // Only a broken thread state makes GetMessage fail here: waiting on would spin.
        terminated_ = true;
        throw Exception("The message queue cannot be read (error " +
                        std::to_string(GetLastError()) + ")");
      } else {
        Dispatch(message);
      }
    } catch (...) {
      HandleException(std::current_exception());
    }
  }
}

void TApplication::ShowMainForm(int showCommand) {
  if (!mainForm_) return;
  if (showCommand == SW_SHOWMAXIMIZED) {
    mainForm_->SetWindowState(TWindowState::wsMaximized);
  } else if (showCommand == SW_SHOWMINNOACTIVE) {
    mainForm_->SetWindowState(TWindowState::wsMinimized);
  }
  if (mainForm_->WindowState() == TWindowState::wsMinimized) {
    // The main form stays hidden, and its list unfilled, until the first restore.
    showMainFormOnRestore_ = true;
    Minimize();
  } else {
    mainForm_->Show();
  }
}

void TApplication::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      terminated_ = true;
      return;
    }
    Dispatch(message);
  }
}

void TApplication::Dispatch(const MSG& message) {
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::Minimize() { ShowWindow(Handle(), SW_MINIMIZE); }

void TApplication::UpdateVisible() {
  const bool anyVisible = std::any_of(forms_.begin(), forms_.end(), [](const auto& form) {
    return IsWindowVisible(form->WindowHandle()) != FALSE;
  });
  if (anyVisible == (IsWindowVisible(Handle()) != FALSE) || IsIconic(Handle())) return;
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                   (anyVisible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
  if (const HWND capture = GetCapture()) SendMessageA(capture, WM_CANCELMODE, 0, 0);
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
  } catch (const Exception& exception) {
    ShowException(exception);
  } catch (...) {
    ShowException(Exception(""));
  }
}

void TApplication::ShowException(const Exception& error) noexcept {
  MessageBox(WithFullStop(error.Message(), IsLeadByte), WindowText(Handle(), 255), MB_ICONERROR);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT style) {
  const HWND active = GetActiveWindow();
  const HWND focus = GetFocus();
  ThreadWindows windows{Handle(), {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&windows));

  // A box owned by a window on another monitor than the active one would open far from where
  // the user is looking: the owner moves over for the time of the box.
  RECT home{};
  GetWindowRect(Handle(), &home);
  bool moved = false;
  if (active) {
    const HMONITOR monitor = MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
    if (monitor != MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST)) {
      MONITORINFO info{};
      info.cbSize = sizeof info;
      if (GetMonitorInfoA(monitor, &info)) {
        SetWindowPos(Handle(), nullptr, (info.rcMonitor.left + info.rcMonitor.right) / 2,
                     (info.rcMonitor.top + info.rcMonitor.bottom) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        moved = true;
      }
    }
  }

  const int result = MessageBoxA(Handle(), text.c_str(), caption.c_str(), style);

  if (moved) {
    SetWindowPos(Handle(), nullptr, home.left, home.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (const HWND window : windows.disabled) EnableWindow(window, TRUE);
  if (active && IsWindow(active)) SetActiveWindow(active);
  if (focus && IsWindow(focus)) SetFocus(focus);
  return result;
}

LRESULT TApplication::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // Closing the taskbar button closes the main form, which ends the run.
      if (mainForm_) PostMessageA(mainForm_->WindowHandle(), WM_CLOSE, 0, 0);
      return 0;
    case WM_SIZE:
      if (wParam == SIZE_RESTORED && showMainFormOnRestore_ && mainForm_) {
        showMainFormOnRestore_ = false;
        mainForm_->SetWindowState(TWindowState::wsNormal);
        mainForm_->Show();
      }
      break;
    case WM_SETFOCUS:
      // Activated through its taskbar button: the user means the main form.
      if (mainForm_ && IsWindowVisible(mainForm_->WindowHandle()) &&
          IsWindowEnabled(mainForm_->WindowHandle())) {
        SetActiveWindow(mainForm_->WindowHandle());
        return 0;
      }
      break;
    default:
      break;
  }
  return DefaultHandler(message, wParam, lParam);
}
