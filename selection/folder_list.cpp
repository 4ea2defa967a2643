#include "selection/folder_list.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <filesystem>

#include "automation/base/error.h"
#include "selection/folder_listing.h"

namespace tavrio::selection {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kOpenRole = Qt::UserRole + 2;

// Shifts each entry right by its depth, so the path reads as a staircase down to the current
// folder and its sub-folders sit one step further in.
class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem indented(option);
    indented.rect.setLeft(option.rect.left() + Indent(option, index));
    QStyledItemDelegate::paint(painter, indented, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width() + Indent(option, index), size.height()};
  }

 private:
  static int Indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
    return index.data(kLevelRole).toInt() * option.fontMetrics.averageCharWidth() * 2;
  }
};

// "/", "/home", "/home/user" for "/home/user".
std::vector<std::string> FoldersDownTo(const std::string& folder) {
  std::vector<std::string> chain = {"/"};
  std::string path;
  for (const auto& part : std::filesystem::path(folder).relative_path()) {
    path += "/" + part.string();
    chain.push_back(path);
  }
  return chain;
}

std::string ChildPath(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string DisplayName(const std::string& path) {
  return path == "/" ? path : std::filesystem::path(path).filename().string();
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new IndentDelegate(this));
  // Deep folders are wider than the list: scroll sideways rather than cut their names off.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTextElideMode(Qt::ElideNone);
  connect(this, &QListWidget::itemDoubleClicked, this,
          [this](const QListWidgetItem* item) { RequestOpen(item); });
}

void FolderList::SetPath(const std::string& folder) {
  const std::string path = CleanFolderPath(folder);
  FolderListing listing = ReadFolder(path);
  const std::vector<std::string> chain = FoldersDownTo(path);
  if (chain.size() + listing.folders.size() > static_cast<size_t>(kMaxListEntries)) {
    throw Error(tavrio::error_number::kOverflow,
                "文件夹“" + path + "”中有 " + std::to_string(listing.folders.size()) +
                    " 个子文件夹，超过了文件夹列表最多能列出的数目");
  }
  const std::string previous_path = path_;
  const std::vector<std::string> previous_subfolders = subfolders_;
  Show(path, listing.folders);
  if (!change_handler_) return;
  try {
    change_handler_();
  } catch (...) {
    Show(previous_path, previous_subfolders);
    throw;
  }
}

void FolderList::Show(const std::string& folder, const std::vector<std::string>& subfolders) {
  clear();
  path_ = folder;
  subfolders_ = subfolders;
  if (folder.empty()) return;
  const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);
  const std::vector<std::string> chain = FoldersDownTo(folder);
  int level = 0;
  for (const std::string& path : chain) {
    auto* item = new QListWidgetItem(open_icon, QString::fromStdString(DisplayName(path)));
    item->setData(kPathRole, QByteArray::fromStdString(path));
    item->setData(kLevelRole, level++);
    item->setToolTip(QString::fromStdString(path));
    addItem(item);
  }
  // The open folder looks open, not merely highlighted: in bold, whatever the selection does.
  QListWidgetItem* open = item(count() - 1);
  QFont bold = font();
  bold.setBold(true);
  open->setFont(bold);
  open->setData(kOpenRole, true);
  setCurrentRow(count() - 1);
  for (const std::string& name : subfolders) {
    auto* item = new QListWidgetItem(closed_icon, QString::fromStdString(name));
    item->setData(kPathRole, QByteArray::fromStdString(ChildPath(folder, name)));
    item->setData(kLevelRole, level);
    item->setToolTip(QString::fromStdString(ChildPath(folder, name)));
    addItem(item);
  }
  ScrollToOpenFolder();
}

QListWidgetItem* FolderList::OpenFolderItem() const {
  for (int row = 0; row < count(); ++row) {
    if (item(row)->data(kOpenRole).toBool()) return item(row);
  }
  return nullptr;
}

void FolderList::ScrollToOpenFolder() {
  QListWidgetItem* open = OpenFolderItem();
  if (open == nullptr) return;
  scrollToItem(open);
  // The name sits at the right end of its indented row: bring that end into view, keeping as
  // much of the indent as fits.
  doItemsLayout();
  const QRect rect = visualItemRect(open);
  QScrollBar* bar = horizontalScrollBar();
  const int overflow = rect.left() + bar->value() + rect.width() - viewport()->width();
  bar->setValue(std::max(0, overflow));
}

void FolderList::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  ScrollToOpenFolder();
}

void FolderList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    RequestOpen(currentItem());
    return;
  }
  QListWidget::keyPressEvent(event);
}

void FolderList::RequestOpen(const QListWidgetItem* item) {
  if (item == nullptr) return;
  emit OpenRequested(item->data(kPathRole).toByteArray().toStdString());
}

}  // namespace tavrio::selection
