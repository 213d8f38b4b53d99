#include "ui/ListViewRows.h"

#include <commctrl.h>

#include <utility>

// A list-view item has a text for every column, set or not, so the control cannot tell a row
// with one sub-item from a row whose second one is empty; the count lives in the item's data.

ListViewRows::~ListViewRows() {
  // Nothing may be thrown from here. Should the write fail, the row looks shorter than it is,
  // which makes a removal do less for it, never more.
  if (fillingRow_ >= 0) list_.SetItemData(fillingRow_, fillingCount_);
}

void ListViewRows::StoreFillingCount() {
  if (fillingRow_ < 0) return;
  const int row = std::exchange(fillingRow_, -1);
  if (!list_.SetItemData(row, fillingCount_)) {
    throw Exception("Cannot add a sub-item to row " + std::to_string(row));
  }
}

int ListViewRows::Count() const { return list_.ItemCount(); }

int ListViewRows::Append() {
  const int row = list_.InsertItem(list_.ItemCount(), "", 0);
  if (row < 0) throw Exception("Cannot add a row to " + list_.Name());
  return row;
}

void ListViewRows::Delete(int index) {
  StoreFillingCount();
  if (!list_.DeleteItem(index)) throw Exception("Cannot remove row " + std::to_string(index));
}

int ListViewRows::SelectedCount() const { return list_.SelectedCount(); }

void ListViewRows::SetCaption(int row, const std::string& caption) {
  if (!list_.SetItemText(row, 0, caption)) {
    throw Exception("Cannot set the caption of row " + std::to_string(row));
  }
}

void ListViewRows::AppendSubItem(int row, const std::string& text) {
  if (row != fillingRow_) StoreFillingCount();
  const int count = SubItemCount(row);
  if (!list_.SetItemText(row, count + 1, text)) {
    throw Exception("Cannot add a sub-item to row " + std::to_string(row));
  }
  fillingRow_ = row;
  fillingCount_ = count + 1;
}

std::string ListViewRows::Caption(int row) const { return list_.ItemText(row, 0); }

int ListViewRows::SubItemCount(int row) const {
  return row == fillingRow_ ? fillingCount_ : int(list_.ItemData(row));
}

std::string ListViewRows::SubItem(int row, int index) const {
  if (index < 0 || index >= SubItemCount(row)) {
    throw Exception("Row " + std::to_string(row) + " has no sub-item " + std::to_string(index));
  }
  return list_.ItemText(row, index + 1);
}

bool ListViewRows::Selected(int row) const {
  return (list_.ItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
