#pragma once
// The catalogue's registration list over a list-view control: its items are the rows, item
// text 0 the caption and item text n + 1 sub-item n, the selection state the selected flag.

#include "catalogue/RegistrationList.h"
#include "ui/ListView.h"

class ListViewRows : public RegistrationList {
 public:
  explicit ListViewRows(TListView& list) : list_(list) {}
  ~ListViewRows() override;
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
  // Writes the sub-item count of the row being filled into its item data. Each write costs
  // about as much as inserting the row (the control tells the window of every item change),
  // so a row's count is written once, when the filling moves on to another row, before a
  // deletion shifts the rows, or when this object goes, an error included.
  void StoreFillingCount();

  TListView& list_;
  int fillingRow_ = -1;
  int fillingCount_ = 0;
};
