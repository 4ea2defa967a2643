#include "selection/file_list.h"

#include <QFileSystemWatcher>
#include <QScrollBar>
#include <QTimer>
#include <set>

#include "automation/base/error.h"
#include "selection/folder_listing.h"

namespace tavrio::selection {
namespace {

constexpr int kNameRole = Qt::UserRole;
// A copy into the folder changes it many times in a row; the list is read again once it settles.
constexpr int kFollowDelayMs = 150;

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

Error NoSuchEntry(int index) {
  return Error(error_number::kInvalidIndex,
               "无效的属性数组索引：文件列表中没有第 " + std::to_string(index) + " 项");
}

}  // namespace

FileList::FileList(QWidget* parent)
    : QListWidget(parent), watcher_(new QFileSystemWatcher(this)), follow_timer_(new QTimer(this)) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  connect(this, &QListWidget::itemDoubleClicked, this, &FileList::DblClick);
  follow_timer_->setSingleShot(true);
  follow_timer_->setInterval(kFollowDelayMs);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, follow_timer_,
          qOverload<>(&QTimer::start));
  connect(follow_timer_, &QTimer::timeout, this, &FileList::FollowFolder);
}

void FileList::HoldChanges(bool hold) {
  held_ = hold;
  if (!hold && changed_while_held_) follow_timer_->start();
}

void FileList::FollowFolder() {
  if (held_) {
    changed_while_held_ = true;
    return;
  }
  changed_while_held_ = false;
  FolderListing listing;
  try {
    listing = ReadFolder(path_);
  } catch (const Error&) {
    return;  // the folder went or cannot be read: what it last held stays listed
  }
  if (listing.files.size() > static_cast<size_t>(kMaxListEntries)) return;
  std::set<std::string> selected;
  for (const QListWidgetItem* entry : selectedItems()) {
    selected.insert(entry->data(kNameRole).toByteArray().toStdString());
  }
  const std::string current =
      currentItem() ? currentItem()->data(kNameRole).toByteArray().toStdString() : std::string();
  const int scrolled = verticalScrollBar()->value();
  const QSignalBlocker blocker(this);
  Show(listing.files);
  for (int row = 0; row < count(); ++row) {
    QListWidgetItem* entry = item(row);
    const std::string name = entry->data(kNameRole).toByteArray().toStdString();
    if (name == current) setCurrentItem(entry, QItemSelectionModel::NoUpdate);
    if (selected.contains(name)) entry->setSelected(true);
  }
  verticalScrollBar()->setValue(scrolled);
}

void FileList::Show(const std::vector<std::string>& names) {
  clear();
  for (const std::string& name : names) {
    auto* item = new QListWidgetItem(QString::fromStdString(name));
    item->setData(kNameRole, QByteArray::fromStdString(name));
    item->setToolTip(QString::fromStdString(JoinPath(path_, name)));
    addItem(item);
  }
}

void FileList::SetPath(const std::string& folder) {
  const std::string path = CleanFolderPath(folder);
  FolderListing listing = ReadFolder(path);
  if (listing.files.size() > static_cast<size_t>(kMaxListEntries)) {
    throw Error(tavrio::error_number::kOverflow,
                "文件夹“" + path + "”中有 " + std::to_string(listing.files.size()) +
                    " 个文件，超过了文件列表最多能列出的 32767 个");
  }
  if (!path_.empty()) watcher_->removePath(QString::fromStdString(path_));
  path_ = path;
  changed_while_held_ = false;
  Show(listing.files);
  watcher_->addPath(QString::fromStdString(path_));
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
