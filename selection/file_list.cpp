#include "selection/file_list.h"

#include "automation/base/error.h"
#include "selection/folder_listing.h"

namespace tavrio::selection {
namespace {

constexpr int kNameRole = Qt::UserRole;

Error NoSuchEntry(int index) {
  return Error(error_number::kInvalidIndex,
               "无效的属性数组索引：文件列表中没有第 " + std::to_string(index) + " 项");
}

}  // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  connect(this, &QListWidget::itemDoubleClicked, this, &FileList::DblClick);
}

void FileList::SetPath(const std::string& folder) {
  const std::string path = CleanFolderPath(folder);
  FolderListing listing = ReadFolder(path);
  if (listing.files.size() > static_cast<size_t>(kMaxListEntries)) {
    throw Error(tavrio::error_number::kOverflow,
                "文件夹“" + path + "”中有 " + std::to_string(listing.files.size()) +
                    " 个文件，超过了文件列表最多能列出的 32767 个");
  }
  clear();
  for (const std::string& name : listing.files) {
    auto* item = new QListWidgetItem(QString::fromStdString(name));
    item->setData(kNameRole, QByteArray::fromStdString(name));
    addItem(item);
  }
  path_ = path;
  // Keyboard focus lands on the first entry without selecting it.
  if (count() > 0) setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

std::int16_t FileList::ListCount() const { return static_cast<std::int16_t>(count()); }

std::string FileList::List(std::int16_t index) const {
  const QListWidgetItem* entry = item(index);
  if (entry == nullptr) throw NoSuchEntry(index);
  return entry->data(kNameRole).toByteArray().toStdString();
}

bool FileList::Selected(std::int16_t index) const {
  const QListWidgetItem* entry = item(index);
  if (entry == nullptr) throw NoSuchEntry(index);
  return entry->isSelected();
}

}  // namespace tavrio::selection
