// The file list as the logic sees it: an ordered list of texts, each the full path of one file.
#pragma once

#include <QString>
#include <stdexcept>

namespace lumatrim {

class FileList {
 public:
  virtual ~FileList() = default;
  virtual int Count() const = 0;
  // Item numbers run from 1 to Count; any other number throws std::out_of_range.
  virtual QString Text(int nItem) const = 0;
  virtual void Add(const QString& text) = 0;
};

inline void CheckItemNumber(int nItem, int count) {
  if (nItem < 1 || nItem > count) throw std::out_of_range("Index out of bounds");
}

}  // namespace lumatrim
