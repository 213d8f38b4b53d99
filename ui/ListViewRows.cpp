#include "ui/ListViewRows.h"

#include <commctrl.h>

namespace {

[[noreturn]] void NoRow(int row) { throw Exception("There is no row " + std::to_string(row)); }

}  // namespace

int ListViewRows::Count() const { return list_.ItemCount(); }

int ListViewRows::Append() {
  const int row = list_.AddItem("");
  if (row < 0) throw Exception("Cannot add a row to " + list_.Name());
  return row;
}

void ListViewRows::Delete(int index) {
  if (!list_.DeleteItem(index)) throw Exception("Cannot remove row " + std::to_string(index));
}

int ListViewRows::SelectedCount() const { return list_.SelectedCount(); }

void ListViewRows::SetCaption(int row, const std::string& caption) {
  if (!list_.SetCaption(row, caption)) NoRow(row);
}

void ListViewRows::AppendSubItem(int row, const std::string& text) {
  if (!list_.AddSubItem(row, text)) NoRow(row);
}

std::string ListViewRows::Caption(int row) const {
  if (row < 0 || row >= Count()) NoRow(row);
  return list_.ItemText(row, 0);
}

int ListViewRows::SubItemCount(int row) const {
  const int count = list_.SubItemCount(row);
  if (count < 0) NoRow(row);
  return count;
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
