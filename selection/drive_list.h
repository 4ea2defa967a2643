#pragma once

// Drive1: what a Linux user has instead of drive letters: the file system root, the home
// folder and the mounted volumes (USB sticks, other disks, network shares), named as a file
// manager names them.

#include <QComboBox>
#include <functional>
#include <string>
#include <vector>

namespace tavrio::selection {

struct DriveEntry {
  QString name;      // shown in the list
  std::string root;  // the folder the folder list moves to
};

// The root "/" as 文件系统, the home folder as 主文件夹, then the volumes mounted under /media,
// /run/media or /mnt and the network shares, each once, by name.
std::vector<DriveEntry> SystemDrives();

// The name a file manager gives a mounted volume: its label; for a network share "共享 于 主机"
// (from a device such as //host/share or host:/export); otherwise the mount folder's name.
QString VolumeName(const QString& label, const QString& device, const std::string& root,
                   bool network);

class DriveList : public QComboBox {
  Q_OBJECT

 public:
  using Provider = std::function<std::vector<DriveEntry>()>;

  explicit DriveList(Provider provider = SystemDrives, QWidget* parent = nullptr);

  // The root folder of the chosen drive.
  std::string Drive() const;

  // Chooses the drive that holds `folder` (the one with the longest root that contains it)
  // without raising Change: the list only follows where the folder list already is.
  void ShowDriveOf(const std::string& folder);

 signals:
  // The user chose another drive.
  void Change();

 protected:
  // Volumes come and go while the program runs: the list is read again each time it opens.
  void showPopup() override;

 private:
  void Fill(const std::vector<selection::DriveEntry>& drives, const std::string& keep_root);

  Provider provider_;
};

}  // namespace tavrio::selection
