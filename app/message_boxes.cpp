#include "app/message_boxes.h"

#include <QMessageBox>

#include "automation/base/error.h"

namespace tavrio::app {
namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

void DialogMessageBoxes::Inform(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::NoIcon, text);
}

void DialogMessageBoxes::ReportError(QWidget* parent, const Error& error) {
  ShowBox(parent, QMessageBox::Critical, QString::fromStdString(FormatError(error)));
}

}  // namespace tavrio::app
