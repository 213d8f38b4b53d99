#pragma once
// The registration list the catalogue tests hand in instead of the main window's list.

#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/RegistrationList.h"

struct MemoryRow {
  std::string Caption;
  std::vector<std::string> SubItems;
  bool Selected = false;
};

class MemoryRegistrationList : public RegistrationList {
 public:
  int Count() const override { return static_cast<int>(rows.size()); }
  int Append() override {
    rows.emplace_back();
    return Count() - 1;
  }
  void Delete(int index) override {
    if (index == refusedDelete) throw std::runtime_error("the list refused to delete a row");
    rows.erase(rows.begin() + index);
  }
  int SelectedCount() const override {
    int count = 0;
    for (const MemoryRow& row : rows) count += row.Selected ? 1 : 0;
    return count;
  }
  void SetCaption(int row, const std::string& caption) override { rows.at(row).Caption = caption; }
  void AppendSubItem(int row, const std::string& text) override {
    rows.at(row).SubItems.push_back(text);
  }
  std::string Caption(int row) const override { return rows.at(row).Caption; }
  int SubItemCount(int row) const override {
    return static_cast<int>(rows.at(row).SubItems.size());
  }
  std::string SubItem(int row, int index) const override { return rows.at(row).SubItems.at(index); }
  bool Selected(int row) const override { return rows.at(row).Selected; }

  std::vector<MemoryRow> rows;
  int refusedDelete = -1;  // a row whose deletion raises, as a failing list control's might
};
