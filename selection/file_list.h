#pragma once

// File1: the files of one folder, in the merge's file order, with extended multiple selection.
// It follows the folder: files added or removed there appear or go a moment later, and the names
// that remain keep their selection. Each entry's full path is its tooltip.

#include <QListWidget>
#include <cstdint>
#include <string>
#include <vector>

class QFileSystemWatcher;
class QTimer;

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

  // While held, changes of the folder wait and are shown when released: a merge reads the list
  // by index, so its entries must not move under it.
  void HoldChanges(bool hold);

 signals:
  // The user double-clicked an entry; the click before it has already narrowed the selection.
  void DblClick();

 private:
  void Show(const std::vector<std::string>& names);
  void FollowFolder();

  std::string path_;
  QFileSystemWatcher* watcher_;
  QTimer* follow_timer_;
  bool held_ = false;
  bool changed_while_held_ = false;
};

}  // namespace tavrio::selection
