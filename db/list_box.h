#pragma once
// A list of strings shaped like a list box: the catalogue procedures fill one,
// the conversion run reads it. The main window backs it with its hidden table
// lists List1 and List2; MemoryListBox holds the strings itself.

#include <stdexcept>
#include <string>
#include <vector>

namespace db {

class ListBox {
 public:
  virtual ~ListBox() = default;
  virtual void Clear() = 0;
  virtual void AddItem(const std::string& item) = 0;  // appended at the end
  virtual int ListCount() const = 0;
  // Entry `index`, counted from 0; the empty text outside the list.
  virtual std::string List(int index) const = 0;
  // Raises std::out_of_range outside the list.
  virtual void RemoveItem(int index) = 0;
};

class MemoryListBox : public ListBox {
 public:
  void Clear() override { items_.clear(); }
  void AddItem(const std::string& item) override { items_.push_back(item); }
  int ListCount() const override { return static_cast<int>(items_.size()); }
  std::string List(int index) const override {
    return index >= 0 && index < ListCount() ? items_[index] : std::string();
  }
  void RemoveItem(int index) override {
    if (index < 0 || index >= ListCount()) throw std::out_of_range("Invalid procedure call or argument");
    items_.erase(items_.begin() + index);
  }
  const std::vector<std::string>& Items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

}  // namespace db
