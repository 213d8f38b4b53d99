#pragma once
// The ordered rows the catalogue reads and writes: in the program the items of the main
// window's list control, in tests an in-memory list. Rows are addressed by index from 0.

#include <string>

class RegistrationList {
 public:
  virtual ~RegistrationList() = default;

  virtual int Count() const = 0;
  // Adds a row at the end (empty caption, no sub-items, not selected); returns its index.
  virtual int Append() = 0;
  virtual void Delete(int index) = 0;
  virtual int SelectedCount() const = 0;

  virtual void SetCaption(int row, const std::string& caption) = 0;
  virtual void AppendSubItem(int row, const std::string& text) = 0;
  virtual std::string Caption(int row) const = 0;
  virtual int SubItemCount(int row) const = 0;
  virtual std::string SubItem(int row, int index) const = 0;
  virtual bool Selected(int row) const = 0;
};
