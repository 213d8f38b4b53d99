#pragma once
// The list-view control: a superclass of the system's SysListView32, so its messages pass
// through the program's window procedure first. The items' texts live here and the control
// only shows them (a virtual list, LVS_OWNERDATA), asking for each text it draws; it keeps
// each item's state, the selection included. Left to itself the control would copy every text
// into small heap blocks of its own, and under Wine its item array, grown a few slots at a time,
// leaves the old arrays behind as holes (docs/benchmarks.md, "Memory", has what either costs).

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

  int ItemCount() const { return int(items_.size()); }
  // Adds an item at the end, with no sub-items; returns its index, or -1 when the control
  // cannot take one more.
  int AddItem(const std::string& caption);
  bool DeleteItem(int item);
  // Column 0 is the caption and column n + 1 sub-item n; a column past the item's last
  // sub-item shows empty. Item methods given an index out of range do nothing and say so.
  std::string ItemText(int item, int column) const;
  bool SetCaption(int item, const std::string& caption);
  bool AddSubItem(int item, const std::string& text);
  int SubItemCount(int item) const;  // -1 for an index out of range
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
  bool HandleNotify(NMHDR& header, LRESULT& result) override;

 protected:
  // The centre of the first selected row, or the top-left corner without a selection.
  POINT ContextMenuOrigin() const override;

 private:
  struct Item {
    std::string caption;
    std::vector<std::string> subItems;
  };

  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendMessageA(Handle(), message, wParam, lParam);
  }
  bool Exists(int item) const { return item >= 0 && item < ItemCount(); }
  const std::string* Text(int item, int column) const;  // nullptr for an empty column
  void Redraw(int item);
  // The item whose caption matches a type-ahead search of the control, or -1.
  int FindItem(int start, const LVFINDINFOA& find) const;

  DWORD viewStyle_ = LVS_ICON;
  std::vector<Column> columns_;
  bool multiSelect_ = false;
  bool readOnly_ = false;
  bool rowSelect_ = false;
  int updateCount_ = 0;
  std::vector<Item> items_;
};

// How many bytes of `text` fit a buffer of `size` bytes with the NUL after them, cut between two
// characters of the code page: a double-byte character's lead byte without its trail byte would
// show as a stray character, or take the NUL as its trail.
int FittingTextLength(const std::string& text, int size, UINT codePage);

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
