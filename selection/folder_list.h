#pragma once

// Dir1: the current folder with the folders above it and the folders directly inside it,
// indented like a classic folder list. A double-click (or Enter) opens a folder. The open folder
// is in bold and kept in view, scrolled sideways when deep; every entry's tooltip is its path.

#include <QListWidget>
#include <functional>
#include <string>

namespace tavrio::selection {

class FolderList : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  // The current folder, as a full path.
  const std::string& Path() const { return path_; }

  // Moves to `folder` and then runs the change handler, as a user's opening of a folder does.
  // When the folder cannot be read, or the change handler fails, the list stays on (goes back
  // to) the folder it showed before and the tavrio::Error propagates.
  void SetPath(const std::string& folder);

  void SetChangeHandler(std::function<void()> handler) { change_handler_ = std::move(handler); }

  // The entry of the open folder (nullptr before the first SetPath).
  QListWidgetItem* OpenFolderItem() const;

 signals:
  // The user asked to open this folder (a full path); nothing has moved yet.
  void OpenRequested(const std::string& folder);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Show(const std::string& folder, const std::vector<std::string>& subfolders);
  void RequestOpen(const QListWidgetItem* item);
  void ScrollToOpenFolder();

  std::string path_;
  std::vector<std::string> subfolders_;
  std::function<void()> change_handler_;
};

}  // namespace tavrio::selection
