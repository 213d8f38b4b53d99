#pragma once
// An unsorted text list: keeps its strings in the order they were added.

#include <string>
#include <vector>

class TStringList {
 public:
  void Clear() { strings_.clear(); }
  void Add(const std::string& text) { strings_.push_back(text); }
  int Count() const { return static_cast<int>(strings_.size()); }
  const std::string& operator[](int index) const { return strings_.at(index); }

 private:
  std::vector<std::string> strings_;
};
