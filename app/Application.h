#pragma once
// The application object: its zero-size top-level window (the owner of every form, the holder
// of the taskbar button, captioned with the application title), the message loop, the error
// handling and the application's message box.

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/Handles.h"
#include "app/Window.h"
#include "registry/Errors.h"

// windows.h maps MessageBox to MessageBoxA; the application's own box keeps its plain name.
#undef MessageBox

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// What the application needs of a form; the forms themselves live in ui/.
class ApplicationWindow {
 public:
  virtual ~ApplicationWindow() = default;
  virtual HWND WindowHandle() const = 0;
  virtual TWindowState WindowState() const = 0;
  virtual void SetWindowState(TWindowState state) = 0;
  virtual void Show() = 0;  // makes the form visible, raising its show event
};

class TApplication final : public TWindowTarget {
 public:
  TApplication();  // derives the title, loads "MAINICON", creates the application window
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  HICON Icon() const { return icon_; }

  // The first form created becomes the main form; closing it ends the run.
  template <class T>
  void CreateForm(T*& reference) {
    auto form = std::make_unique<T>(*this);
    reference = form.get();
    AddForm(std::move(form));
  }
  ApplicationWindow* MainForm() const { return mainForm_; }
  void DestroyForms();  // newest first

  // Shows the main form as the start-up show command asks, then runs the message loop until
  // the application is told to terminate.
  void Run(int showCommand);
  void ShowMainForm(int showCommand);
  // Dispatches the messages already queued, without waiting.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  void Minimize();
  // Shows the application window while any form is visible.
  void UpdateVisible();

  // The error handling: cancels the mouse capture, drops EAbort, shows everything else.
  void HandleException(std::exception_ptr error) noexcept;
  // The error display: the message with its full stop, under the title, with the error icon.
  void ShowException(const Exception& error) noexcept;
  int MessageBox(const std::string& text, const std::string& caption, UINT style);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void AddForm(std::unique_ptr<ApplicationWindow> form);
  void Dispatch(const MSG& message);

  std::string title_;
  HICON icon_ = nullptr;
  WindowClassHandle windowClass_;
  std::vector<std::unique_ptr<ApplicationWindow>> forms_;
  ApplicationWindow* mainForm_ = nullptr;
  bool terminated_ = false;
  bool showMainFormOnRestore_ = false;
};

extern TApplication Application;
