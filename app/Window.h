#pragma once
// The one window procedure of the program. Each window's object is handed to CreateWindowExA
// and stored at WM_NCCREATE in GWLP_USERDATA; every message is then forwarded to that object's
// HandleMessage. No exception leaves a window procedure: user32's frames between
// DispatchMessage and the procedure cannot be unwound, so errors go to the application's error
// handling right here.

#include <windows.h>

#include <string>

class TWindowTarget {
 public:
  TWindowTarget() = default;
  virtual ~TWindowTarget();  // destroys the window if it still exists
  TWindowTarget(const TWindowTarget&) = delete;
  TWindowTarget& operator=(const TWindowTarget&) = delete;

  HWND Handle() const { return handle_; }

 protected:
  // Creates the window with this object as its target; raises Exception when it cannot.
  void CreateHandle(DWORD exStyle, const char* className, const std::string& caption, DWORD style,
                    int left, int top, int width, int height, HWND parent);
  // The procedure messages go to when the target does not handle them: DefWindowProcA, or the
  // original procedure of a superclassed system control.
  void SetDefaultProcedure(WNDPROC procedure) { defaultProcedure_ = procedure; }
  LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);
  // For derived destructors that must destroy the window before their own members go.
  void DestroyHandle();
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 private:
  friend LRESULT CALLBACK WindowProcedure(HWND, UINT, WPARAM, LPARAM);

  HWND handle_ = nullptr;  // owned: set at WM_NCCREATE, cleared at WM_NCDESTROY
  WNDPROC defaultProcedure_ = DefWindowProcA;
  bool destroying_ = false;
};

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The text of a window, for captions read back as the user sees them.
std::string WindowText(HWND window, int maxLength);
