#include "app/Window.h"

#include <exception>
#include <vector>

#include "app/Application.h"

TWindowTarget::~TWindowTarget() { DestroyHandle(); }

void TWindowTarget::DestroyHandle() {
  if (!handle_) return;
  // Called from destructors: the derived parts may be gone, so the last messages go straight
  // to the default procedure.
  destroying_ = true;
  DestroyWindow(handle_);
}

void TWindowTarget::CreateHandle(DWORD exStyle, const char* className, const std::string& caption,
                                 DWORD style, int left, int top, int width, int height,
                                 HWND parent) {
  if (!CreateWindowExA(exStyle, className, caption.c_str(), style, left, top, width, height, parent,
                       nullptr, GetModuleHandleA(nullptr), this)) {
    throw Exception(std::string("Cannot create a window of class ") + className + " (error " +
                    std::to_string(GetLastError()) + ")");
  }
}

LRESULT TWindowTarget::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(defaultProcedure_, handle_, message, wParam, lParam);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* target =
        static_cast<TWindowTarget*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    target->handle_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
  }
  auto* target = reinterpret_cast<TWindowTarget*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  // Only WM_GETMINMAXINFO comes before WM_NCCREATE, and no control wants it.
  if (!target) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    const LRESULT result =
        CallWindowProcA(target->defaultProcedure_, window, message, wParam, lParam);
    target->handle_ = nullptr;
    return result;
  }
  if (target->destroying_) {
    return CallWindowProcA(target->defaultProcedure_, window, message, wParam, lParam);
  }
  try {
    return target->HandleMessage(message, wParam, lParam);
  } catch (...) {
    Application.HandleException(std::current_exception());
    return 0;
  }
}

std::string WindowText(HWND window, int maxLength) {
  std::vector<char> text(maxLength + 1);
  const int length = GetWindowTextA(window, text.data(), maxLength + 1);
  return std::string(text.data(), length > 0 ? length : 0);
}
