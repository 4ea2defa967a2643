#pragma once

// A Form1 on the offscreen platform, started in a folder of its own, with a recording
// spreadsheet application as its host and message boxes that only take notes.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/message_boxes.h"
#include "automation/base/error.h"
#include "selection/drive_list.h"
#include "selection/file_list.h"
#include "selection/folder_list.h"
#include "selection/side_list.h"
#include "tests/support/temp_folder.h"
#include "tests/support/recording_application.h"

namespace tavrio::app {

class RecordingMessageBoxes : public MessageBoxes {
 public:
  struct Shown {
    std::string text;
    int error_number;  // 0 for an information message
    bool busy_cursor;  // whether the busy cursor was still showing over the box
  };

  void Inform(QWidget* parent, const QString& text) override;
  void ReportError(QWidget* parent, const Error& error) override;

  std::vector<Shown> shown;
};

class Form1Test : public ::testing::Test {
 protected:
  Form1Test();

  // Builds the window in `start_folder` (by default the test folder) with the drives
  // 文件系统 "/", 测试盘 (the test folder), 别的盘 (its folder "other") and 已拔出的U盘 (its
  // folder "usb", which does not exist).
  void Start(const std::string& start_folder = "");

  template <typename T>
  T* Control(const char* name) const {
    T* control = form_->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QPushButton* Button(const char* name) const { return Control<QPushButton>(name); }
  QRadioButton* Option(const char* name) const { return Control<QRadioButton>(name); }
  QLineEdit* Text(const char* name) const { return Control<QLineEdit>(name); }
  selection::DriveList* Drive1() const { return Control<selection::DriveList>("Drive1"); }
  selection::FolderList* Dir1() const { return Control<selection::FolderList>("Dir1"); }
  selection::FileList* File1() const { return Control<selection::FileList>("File1"); }
  selection::SideList* List1() const { return Control<selection::SideList>("List1"); }

  // Clicks like a user: press and release on the control.
  void Click(QWidget* control) const;
  void SelectFiles(const std::vector<int>& rows) const;
  void DoubleClickEntry(QListWidget* list, int row) const;
  std::vector<std::string> FileEntries() const;
  std::vector<std::string> SideEntries() const;

  testing::TempFolder folder_;
  testing::RecordingApplication host_;
  RecordingMessageBoxes boxes_;
  std::unique_ptr<Form1> form_;
};

}  // namespace tavrio::app
