#pragma once
// The list-view control: a superclass of the system's SysListView32, so its messages pass
// through the program's window procedure first. Item methods are one message thick.

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/Controls.h"

class TListView : public TWinControl {
 public:
  struct Column {
    std::string caption;
    int width;
  };

  const char* ClassName() const override { return "TListView"; }

  int ItemCount() const;
  int InsertItem(int index, const std::string& caption, LPARAM data);  // the index, or -1
  bool DeleteItem(int item);
  std::string ItemText(int item, int subItem) const;
  bool SetItemText(int item, int subItem, const std::string& text);
  LPARAM ItemData(int item) const;
  bool SetItemData(int item, LPARAM data);
  UINT ItemState(int item, UINT mask) const;
  int SelectedCount() const;
  int NextItem(int start, UINT flags) const;
  bool ItemRect(int item, int code, RECT& rect) const;

  // Between BeginUpdate and its matching EndUpdate the control paints nothing, and it is
  // repainted once at the end: with its redraw on, a report view repaints on every insert and
  // deletion, which costs far more than the change itself. The pairs nest.
  void BeginUpdate();
  void EndUpdate();

  void ApplyProperty(const LayoutProperty& property, const TForm& form) override;
  void CreateHandles(TForm& form) override;

 protected:
  // The centre of the first selected row, or the top-left corner without a selection.
  POINT ContextMenuOrigin() const override;

 private:
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendMessageA(Handle(), message, wParam, lParam);
  }

  DWORD viewStyle_ = LVS_ICON;
  std::vector<Column> columns_;
  bool multiSelect_ = false;
  bool readOnly_ = false;
  bool rowSelect_ = false;
  int updateCount_ = 0;
};

// Holds a list's painting off while it lives, and lets it paint again however the scope ends,
// so the rows changed before an error are still shown.
class TListViewUpdate {
 public:
  explicit TListViewUpdate(TListView& list) : list_(list) { list_.BeginUpdate(); }
  ~TListViewUpdate() { list_.EndUpdate(); }
  TListViewUpdate(const TListViewUpdate&) = delete;
  TListViewUpdate& operator=(const TListViewUpdate&) = delete;

 private:
  TListView& list_;
};
