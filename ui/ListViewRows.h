#pragma once
// The catalogue's registration list over a list-view control: its items are the rows, the
// item's caption the row's, its sub-items the row's, its selection state the selected flag.

#include "catalogue/RegistrationList.h"
#include "ui/ListView.h"

class ListViewRows : public RegistrationList {
 public:
  explicit ListViewRows(TListView& list) : list_(list) {}
  ListViewRows(const ListViewRows&) = delete;
  ListViewRows& operator=(const ListViewRows&) = delete;

  int Count() const override;
  int Append() override;
  void Delete(int index) override;
  int SelectedCount() const override;
  void SetCaption(int row, const std::string& caption) override;
  void AppendSubItem(int row, const std::string& text) override;
  std::string Caption(int row) const override;
  int SubItemCount(int row) const override;
  std::string SubItem(int row, int index) const override;
  bool Selected(int row) const override;

 private:
  TListView& list_;
};
