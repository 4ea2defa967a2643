#include "app/sheets/sheet_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/sheets/message_lines.h"
#include "automation/base/error.h"

namespace tavrio::app::sheets {
namespace {

constexpr char kTitle[] = "Tavrio";
constexpr char kXlsxFilter[] = "Excel 工作簿 (*.xlsx)";
constexpr char kCsvFilter[] = "CSV UTF-8（逗号分隔）(*.csv)";

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  return QString::fromStdString(text).endsWith(QString::fromStdString(suffix), Qt::CaseInsensitive);
}

}  // namespace

std::string WithSaveExtension(const std::string& name, bool csv_chosen) {
  if (EndsWithIgnoringCase(name, ".xlsx") || EndsWithIgnoringCase(name, ".csv")) return name;
  return name + (csv_chosen ? ".csv" : ".xlsx");
}

std::string DesktopSheetDialogs::AskSavePath(QWidget* parent, const std::string& suggested) {
  const QString xlsx = QString::fromUtf8(kXlsxFilter);
  const QString csv = QString::fromUtf8(kCsvFilter);
  QString chosen_filter = xlsx;
  const QString path = QFileDialog::getSaveFileName(
      parent, QStringLiteral("另存为"), QString::fromStdString(suggested),
      xlsx + QStringLiteral(";;") + csv, &chosen_filter, QFileDialog::DontConfirmOverwrite);
  if (path.isEmpty()) return {};
  return WithSaveExtension(path.toStdString(), chosen_filter == csv);
}

bool AskYesNo(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kTitle), text, QMessageBox::NoButton,
                  parent);
  QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

bool DesktopSheetDialogs::AskReplace(QWidget* parent, const std::string& path) {
  return AskYesNo(
      parent, QStringLiteral("文件“%1”已经存在。\n要替换它吗？").arg(QString::fromStdString(path)));
}

bool DesktopSheetDialogs::AskSaveIncomplete(QWidget* parent, const std::string& workbook_name,
                                            const std::string& reason) {
  return AskYesNo(parent,
                  QStringLiteral("“%1”不完整：%2。\n仍要保存这个不完整的工作簿吗？")
                      .arg(QString::fromStdString(workbook_name), QString::fromStdString(reason)));
}

SaveChangesAnswer DesktopSheetDialogs::AskSaveChanges(QWidget* parent,
                                                      const std::string& workbook_name) {
  QMessageBox box(
      QMessageBox::Warning, QString::fromUtf8(kTitle),
      QStringLiteral("是否保存对“%1”的更改？").arg(QString::fromStdString(workbook_name)),
      QMessageBox::NoButton, parent);
  QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
  QPushButton* dont_save = box.addButton(QStringLiteral("不保存"), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return SaveChangesAnswer::kSave;
  if (box.clickedButton() == dont_save) return SaveChangesAnswer::kDontSave;
  return SaveChangesAnswer::kCancel;
}

void DesktopSheetDialogs::ReportError(QWidget* parent, const Error& error) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kTitle),
                  QString::fromStdString(BreakBetweenPhrases(FormatError(error))), QMessageBox::Ok,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void DesktopSheetDialogs::ReportWarning(QWidget* parent, const std::string& warning) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kTitle), QString::fromStdString(warning),
                  QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace tavrio::app::sheets
