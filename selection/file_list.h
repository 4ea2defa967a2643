#pragma once

// File1: the files of one folder, in the merge's file order, with extended multiple selection.

#include <QListWidget>
#include <cstdint>
#include <string>

namespace tavrio::selection {

class FileList : public QListWidget {
  Q_OBJECT

 public:
  explicit FileList(QWidget* parent = nullptr);

  // The folder listed; it ends in "/" only when it is the root.
  const std::string& Path() const { return path_; }

  // Re-reads `folder` and lists its non-hidden files with none selected. On failure (folder
  // unreadable, more files than a list can hold) throws tavrio::Error and keeps the listing,
  // selection included, that was there before.
  void SetPath(const std::string& folder);

  std::int16_t ListCount() const;
  // The bare name of entry `index`, exactly as the file system holds it.
  std::string List(std::int16_t index) const;
  bool Selected(std::int16_t index) const;

 signals:
  // The user double-clicked an entry; the click before it has already narrowed the selection.
  void DblClick();

 private:
  std::string path_;
};

}  // namespace tavrio::selection
