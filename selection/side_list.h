#pragma once

// List1, the side list: file names copied from the file list for the user's eyes only. Nothing
// else reads it; a merge run never looks at it.

#include <QListWidget>
#include <cstdint>

namespace tavrio::selection {

class FileList;

class SideList : public QListWidget {
  Q_OBJECT

 public:
  explicit SideList(QWidget* parent = nullptr);

  std::int16_t ListCount() const;
  bool Selected(std::int16_t index) const;
  void RemoveItem(std::int16_t index);

 signals:
  void DblClick();
};

// The order in which the selected file list entries arrive at the end of the side list.
enum class AddOrder { kTopToBottom, kBottomToTop };

// Appends every selected entry of `files` to `side`, duplicates included, and leaves the file
// list's selection as it was. When the side list cannot take them all (it holds at most 32767
// entries) nothing is added and tavrio::Error says how many would not fit.
void AddSelectedFiles(const FileList& files, SideList& side, AddOrder order);

// Removes every selected entry of the side list, from the last index down so that the indexes
// still to be visited stay valid.
void RemoveSelectedEntries(SideList& side);

}  // namespace tavrio::selection
