#include "selection/side_list.h"

#include <string>
#include <vector>

#include "automation/base/error.h"
#include "selection/file_list.h"
#include "selection/folder_listing.h"

namespace tavrio::selection {

SideList::SideList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  connect(this, &QListWidget::itemDoubleClicked, this, &SideList::DblClick);
}

std::int16_t SideList::ListCount() const { return static_cast<std::int16_t>(count()); }

bool SideList::Selected(std::int16_t index) const {
  const QListWidgetItem* entry = item(index);
  return entry != nullptr && entry->isSelected();
}

void SideList::RemoveItem(std::int16_t index) {
  if (index < 0 || index >= count()) {
    throw Error(error_number::kInvalidIndex,
                "无效的属性数组索引：列表中没有第 " + std::to_string(index) + " 项");
  }
  delete takeItem(index);
}

void AddSelectedFiles(const FileList& files, SideList& side, AddOrder order) {
  const std::int16_t count = files.ListCount();
  std::vector<std::string> names;
  for (std::int16_t step = 0; step < count; ++step) {
    const auto index =
        static_cast<std::int16_t>(order == AddOrder::kTopToBottom ? step : count - 1 - step);
    if (files.Selected(index)) names.push_back(files.List(index));
  }
  const int room = kMaxListEntries - side.count();
  if (static_cast<int>(names.size()) > room) {
    // Adding part of a selection would leave the user guessing which names made it in.
    throw Error(tavrio::error_number::kOverflow,
                "右侧列表最多容纳 32767 项，已有 " + std::to_string(side.count()) +
                    " 项，放不下所选的 " + std::to_string(names.size()) + " 个文件");
  }
  const std::string& folder = files.Path();
  for (const std::string& name : names) {
    auto* entry = new QListWidgetItem(QString::fromStdString(name));
    // The name alone may not fit the list; the tooltip gives it whole, with its folder.
    entry->setToolTip(QString::fromStdString(folder == "/" ? "/" + name : folder + "/" + name));
    side.addItem(entry);
  }
}

void RemoveSelectedEntries(SideList& side) {
  const std::int16_t count = side.ListCount();
  for (int index = count - 1; index >= 0; --index) {
    if (side.Selected(static_cast<std::int16_t>(index))) {
      side.RemoveItem(static_cast<std::int16_t>(index));
    }
  }
}

}  // namespace tavrio::selection
