#include "app/message_boxes.h"

#include <QMessageBox>
#include <cstdio>

#include "app/sheets/message_lines.h"
#include "automation/base/error.h"

namespace tavrio::app {
namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  // Plain text is never wrapped by the box: the lines are broken here, between phrases only.
  QMessageBox box(icon, QString::fromUtf8(kApplicationTitle),
                  QString::fromStdString(sheets::BreakBetweenPhrases(text.toStdString())),
                  QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

void DialogMessageBoxes::Inform(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::NoIcon, text);
}

void DialogMessageBoxes::ReportError(QWidget* parent, const Error& error) {
  ShowBox(parent, QMessageBox::Critical, QString::fromStdString(FormatError(error)));
}

void TerminalMessageBoxes::Inform(QWidget*, const QString& text) {
  std::printf("%s\n", text.toUtf8().constData());
}

void TerminalMessageBoxes::ReportError(QWidget*, const Error& error) {
  std::fprintf(stderr, "%s\n", FormatError(error).c_str());
}

}  // namespace tavrio::app
