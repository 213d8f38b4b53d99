#include "ui/ListViewRows.h"

#include <commctrl.h>

// A list-view item has a text for every column, set or not, so the control cannot tell a row
// with one sub-item from a row whose second one is empty; the count lives in the item's data.

int ListViewRows::Count() const { return list_.ItemCount(); }

int ListViewRows::Append() {
  const int row = list_.InsertItem(list_.ItemCount(), "", 0);
  if (row < 0) throw Exception("Cannot add a row to " + list_.Name());
  return row;
}

void ListViewRows::Delete(int index) {
  if (!list_.DeleteItem(index)) throw Exception("Cannot remove row " + std::to_string(index));
}

int ListViewRows::SelectedCount() const { return list_.SelectedCount(); }

void ListViewRows::SetCaption(int row, const std::string& caption) {
  if (!list_.SetItemText(row, 0, caption)) {
    throw Exception("Cannot set the caption of row " + std::to_string(row));
  }
}

void ListViewRows::AppendSubItem(int row, const std::string& text) {
  const int count = SubItemCount(row);
  if (!list_.SetItemText(row, count + 1, text) || !list_.SetItemData(row, count + 1)) {
    throw Exception("Cannot add a sub-item to row " + std::to_string(row));
  }
}

std::string ListViewRows::Caption(int row) const { return list_.ItemText(row, 0); }

int ListViewRows::SubItemCount(int row) const { return int(list_.ItemData(row)); }

std::string ListViewRows::SubItem(int row, int index) const {
  if (index < 0 || index >= SubItemCount(row)) {
    throw Exception("Row " + std::to_string(row) + " has no sub-item " + std::to_string(index));
  }
  return list_.ItemText(row, index + 1);
}

bool ListViewRows::Selected(int row) const {
  return (list_.ItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
