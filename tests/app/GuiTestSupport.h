#pragma once
// In-process GUI test helpers: message boxes are recorded and answered through a WH_CBT hook,
// keys are typed through SendInput, and the queue is pumped instead of sleeping.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/Handles.h"

struct ShownMessageBox {
  std::string text;
  std::string caption;
  bool errorIcon = false;
  bool questionIcon = false;
  std::vector<int> buttons;  // IDOK, IDYES, IDNO, ... in that order of checking
};

// Records every message box this thread shows while it lives, and presses `answer` in it.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(int answer);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  const std::vector<ShownMessageBox>& Boxes() const { return boxes_; }
  // Runs while each box is up, before it is answered.
  std::function<void(HWND box)> whileShown;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);

  int answer_;
  std::vector<ShownMessageBox> boxes_;
  std::vector<HWND> open_;  // a box is activated again when a box it owned closes
  HookHandle hook_;
};

// Records where each popup menu of this thread opens, in screen coordinates, and posts the
// given keyboard message to it (a WM_CHAR access key to choose, WM_KEYDOWN VK_ESCAPE to
// close it).
class PopupMenuWatcher {
 public:
  PopupMenuWatcher(UINT message, WPARAM key);
  ~PopupMenuWatcher();
  PopupMenuWatcher(const PopupMenuWatcher&) = delete;
  PopupMenuWatcher& operator=(const PopupMenuWatcher&) = delete;

  const std::vector<POINT>& Opened() const { return opened_; }
  HWND FocusWhenOpened() const { return focusWhenOpened_; }

 private:
  static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam);

  UINT message_;
  WPARAM key_;
  std::vector<POINT> opened_;
  HWND focusWhenOpened_ = nullptr;
  HookHandle creationHook_;
  HookHandle messageHook_;
};

// Dispatches everything queued for this thread, including what the dispatching queues.
void PumpMessages();

// Types a key with the given modifier keys held down, through the system's input queue.
void PressKey(WORD key, const std::vector<WORD>& modifiers = {});

// The HWND's window rectangle's size and origin.
RECT WindowBounds(HWND window);
