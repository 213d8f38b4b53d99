#include "app/Application.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/Entry.h"
#include "tests/app/GuiTestSupport.h"

namespace {

// A plain top-level window for the tests to own, activate, capture the mouse with and close.
class TestWindow final : public TWindowTarget, public ApplicationWindow {
 public:
  explicit TestWindow(TApplication& owner) : owner_(owner) {
    static const ATOM windowClass = [] {
      WNDCLASSEXA description{};
      description.cbSize = sizeof description;
      description.lpfnWndProc = WindowProcedure;
      description.hInstance = GetModuleHandleA(nullptr);
      description.lpszClassName = "VelloranTestWindow";
      return RegisterClassExA(&description);
    }();
    (void)windowClass;
    CreateHandle(0, "VelloranTestWindow", "Test window", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                 owner.Handle());
    edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, Handle(), nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  }

  HWND WindowHandle() const override { return Handle(); }
  TWindowState WindowState() const override { return state_; }
  void SetWindowState(TWindowState state) override { state_ = state; }
  void Show() override {
    ++shows;
    showState = state_;
    ShowWindow(Handle(), SW_SHOWNORMAL);
    owner_.UpdateVisible();
  }
  HWND Edit() const { return edit_; }

  int shows = 0;
  TWindowState showState = TWindowState::wsNormal;
  int cancelModes = 0;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_APP:
        throw Exception("Handler failed");
      case WM_APP + 1:
        throw std::runtime_error("not one of ours");
      case WM_CANCELMODE:
        ++cancelModes;
        break;
      case WM_CLOSE:
        owner_.Terminate();
        return 0;
      default:
        break;
    }
    return DefaultHandler(message, wParam, lParam);
  }

 private:
  TApplication& owner_;
  HWND edit_ = nullptr;
  TWindowState state_ = TWindowState::wsNormal;
};

class ApplicationTest : public testing::Test {
 protected:
  void TearDown() override {
    Application.DestroyForms();
    PumpMessages();
  }
};

TEST_F(ApplicationTest, ApplicationWindowIsAZeroSizeWindowCaptionedWithTheTitle) {
  // The test program is velloran_shell_tests.exe: its first character stays as it is.
  EXPECT_EQ("velloran_shell_tests", Application.Title());
  EXPECT_EQ(Application.Title(), WindowText(Application.Handle(), 255));
  const RECT bounds = WindowBounds(Application.Handle());
  EXPECT_EQ(0, bounds.right - bounds.left);
  EXPECT_EQ(0, bounds.bottom - bounds.top);
  EXPECT_EQ(nullptr, GetWindow(Application.Handle(), GW_OWNER));
}

TEST_F(ApplicationTest, ErrorDisplayAddsTheFullStopAndShowsTheTitleAndTheErrorIcon) {
  MessageBoxWatcher watcher(IDOK);
  Application.ShowException(Exception("Cannot open the key"));
  Application.ShowException(Exception("Invalid data type for ''"));
  Application.ShowException(Exception(""));
  ASSERT_EQ(3u, watcher.Boxes().size());
  EXPECT_EQ("Cannot open the key.", watcher.Boxes()[0].text);
  EXPECT_EQ("Invalid data type for ''", watcher.Boxes()[1].text);
  EXPECT_EQ("", watcher.Boxes()[2].text);
  for (const ShownMessageBox& box : watcher.Boxes()) {
    EXPECT_EQ(Application.Title(), box.caption);
    EXPECT_TRUE(box.errorIcon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
  }
}

TEST_F(ApplicationTest, ErrorDisplayCaptionIsTheApplicationWindowTextCutTo255Characters) {
  const std::string title = WindowText(Application.Handle(), 255);
  SetWindowTextA(Application.Handle(), std::string(300, 'T').c_str());
  MessageBoxWatcher watcher(IDOK);
  Application.ShowException(Exception("x"));
  SetWindowTextA(Application.Handle(), title.c_str());
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(std::string(255, 'T'), watcher.Boxes()[0].caption);
}

TEST_F(ApplicationTest, ErrorHandlingDropsEAbortAndShowsOtherErrorsAfterCancellingTheCapture) {
  TestWindow window(Application);
  ShowWindow(window.Handle(), SW_SHOW);
  MessageBoxWatcher watcher(IDOK);

  SetCapture(window.Handle());
  Application.HandleException(std::make_exception_ptr(EAbort("silent")));
  EXPECT_TRUE(watcher.Boxes().empty());
  EXPECT_EQ(1, window.cancelModes);

  Application.HandleException(std::make_exception_ptr(Exception("Shown")));
  Application.HandleException(std::make_exception_ptr(std::runtime_error("foreign")));
  Application.HandleException(std::make_exception_ptr(42));
  ASSERT_EQ(3u, watcher.Boxes().size());
  EXPECT_EQ("Shown.", watcher.Boxes()[0].text);
  // Only the program's own error kinds carry a message for the user.
  EXPECT_EQ("", watcher.Boxes()[1].text);
  EXPECT_EQ("", watcher.Boxes()[2].text);
}

TEST_F(ApplicationTest, MessageBoxDisablesTheOtherWindowsAndRestoresActivationAndFocus) {
  TestWindow first(Application);
  TestWindow second(Application);
  ShowWindow(second.Handle(), SW_SHOW);
  ShowWindow(first.Handle(), SW_SHOW);
  SetActiveWindow(first.Handle());
  SetFocus(first.Edit());
  ASSERT_EQ(first.Edit(), GetFocus());

  MessageBoxWatcher watcher(IDNO);
  bool firstEnabled = true, secondEnabled = true;
  HWND owner = nullptr;
  watcher.whileShown = [&](HWND box) {
    firstEnabled = IsWindowEnabled(first.Handle());
    secondEnabled = IsWindowEnabled(second.Handle());
    owner = GetWindow(box, GW_OWNER);
  };
  EXPECT_EQ(IDNO,
            Application.MessageBox("Are you sure?", "please confirm", MB_YESNO | MB_ICONQUESTION));
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ("Are you sure?", watcher.Boxes()[0].text);
  EXPECT_EQ("please confirm", watcher.Boxes()[0].caption);
  EXPECT_TRUE(watcher.Boxes()[0].questionIcon);
  EXPECT_EQ((std::vector<int>{IDYES, IDNO}), watcher.Boxes()[0].buttons);
  EXPECT_EQ(Application.Handle(), owner);
  EXPECT_FALSE(firstEnabled);
  EXPECT_FALSE(secondEnabled);

  EXPECT_TRUE(IsWindowEnabled(first.Handle()));
  EXPECT_TRUE(IsWindowEnabled(second.Handle()));
  EXPECT_EQ(first.Handle(), GetActiveWindow());
  EXPECT_EQ(first.Edit(), GetFocus());
}

TEST_F(ApplicationTest, MessageLoopShowsHandlerErrorsAndGoesOnUntilTheMainFormCloses) {
  TestWindow* window = nullptr;
  Application.CreateForm(window);
  MessageBoxWatcher watcher(IDOK);
  PostMessageA(window->Handle(), WM_APP, 0, 0);
  PostMessageA(window->Handle(), WM_APP + 1, 0, 0);
  PostMessageA(window->Handle(), WM_CLOSE, 0, 0);
  Application.Run(SW_SHOWDEFAULT);
  EXPECT_TRUE(Application.Terminated());
  EXPECT_EQ(1, window->shows);
  ASSERT_EQ(2u, watcher.Boxes().size());
  EXPECT_EQ("Handler failed.", watcher.Boxes()[0].text);
  EXPECT_EQ("", watcher.Boxes()[1].text);
}

TEST_F(ApplicationTest, FormsShowTheApplicationWindowWhileVisible) {
  TestWindow* window = nullptr;
  Application.CreateForm(window);
  EXPECT_FALSE(IsWindowVisible(Application.Handle()));
  Application.ShowMainForm(SW_SHOWNORMAL);
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_TRUE(IsWindowVisible(Application.Handle()));
  EXPECT_EQ(Application.Handle(), GetWindow(window->Handle(), GW_OWNER));
  ShowWindow(window->Handle(), SW_HIDE);
  Application.UpdateVisible();
  EXPECT_FALSE(IsWindowVisible(Application.Handle()));
}

TEST_F(ApplicationTest, MaximisedStartCommandSetsTheMainFormMaximisedBeforeShowingIt) {
  TestWindow* window = nullptr;
  Application.CreateForm(window);
  Application.ShowMainForm(SW_SHOWMAXIMIZED);
  EXPECT_EQ(1, window->shows);
  EXPECT_EQ(TWindowState::wsMaximized, window->showState);
}

TEST_F(ApplicationTest, MinimisedStartShowsTheMainFormOnlyAtTheFirstRestore) {
  TestWindow* window = nullptr;
  Application.CreateForm(window);
  Application.ShowMainForm(SW_SHOWMINNOACTIVE);
  EXPECT_TRUE(IsIconic(Application.Handle()));
  EXPECT_EQ(0, window->shows);

  // What the taskbar button does.
  SendMessageA(Application.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  PumpMessages();
  EXPECT_FALSE(IsIconic(Application.Handle()));
  EXPECT_EQ(1, window->shows);
  EXPECT_EQ(TWindowState::wsNormal, window->showState);

  Application.Minimize();
  SendMessageA(Application.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  PumpMessages();
  EXPECT_EQ(1, window->shows);
}

TEST_F(ApplicationTest, EntryShowsErrorsFromCreatingTheFormsAndReturnsZero) {
  MessageBoxWatcher watcher(IDOK);
  EXPECT_EQ(0, RunApplication(SW_SHOWDEFAULT, [] { throw Exception("Layout line 3: bad"); }));
  EXPECT_EQ(0, RunApplication(SW_SHOWDEFAULT, [] { throw 7; }));
  ASSERT_EQ(2u, watcher.Boxes().size());
  EXPECT_EQ("Layout line 3: bad.", watcher.Boxes()[0].text);
  EXPECT_EQ("", watcher.Boxes()[1].text);
  EXPECT_EQ(Application.Title(), watcher.Boxes()[1].caption);
}

TEST_F(ApplicationTest, EntryRunsUntilTheMainFormClosesThenDestroysIt) {
  HWND created = nullptr;
  EXPECT_EQ(0, RunApplication(SW_SHOWDEFAULT, [&created] {
              TestWindow* window = nullptr;
              Application.CreateForm(window);
              created = window->Handle();
              PostMessageA(created, WM_CLOSE, 0, 0);
            }));
  EXPECT_FALSE(IsWindow(created));
  EXPECT_EQ(nullptr, Application.MainForm());
}

}  // namespace
