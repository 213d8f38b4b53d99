#pragma once
// A context menu and its commands. The menu is tracked with TPM_RETURNCMD, so the chosen item
// is clicked right here and no WM_COMMAND needs routing.

#include <windows.h>

#include <string>
#include <vector>

#include "app/Handles.h"
#include "ui/Component.h"
#include "ui/ShortCut.h"

class TMenuItem : public TComponent {
 public:
  const char* ClassName() const override { return "TMenuItem"; }
  const std::string& Caption() const { return caption_; }
  TShortCut ShortCut() const { return shortCut_; }
  // The text the menu shows: the caption, then the shortcut's name after a tab.
  std::string MenuText() const;

  // Runs OnClick; an error it raises goes to the application's error handling.
  void Click();

  void ApplyProperty(const LayoutProperty& property, const TForm& form) override;
  void CreateHandles(TForm&) override {}  // lives in its menu's handle

  TNotifyEvent OnClick;

 private:
  std::string caption_;
  TShortCut shortCut_ = 0;
};

class TPopupMenu : public TComponent {
 public:
  const char* ClassName() const override { return "TPopupMenu"; }
  HMENU Handle() const { return menu_.Get(); }
  const std::vector<TMenuItem*>& Items() const { return items_; }

  // Opens the menu at a screen position and clicks the item chosen, if any.
  void Popup(int x, int y);
  // Clicks the item whose shortcut this is; false when there is none.
  bool IsShortCut(TShortCut shortCut);

  void InsertComponent(TComponent& child, int line) override;
  void CreateHandles(TForm& form) override;

 private:
  MenuHandle menu_;
  HWND owner_ = nullptr;
  std::vector<TMenuItem*> items_;  // the form owns them
};
