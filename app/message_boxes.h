#pragma once

// The window's two kinds of message box, behind an interface so that tests answer them without a
// modal dialog ever blocking.

#include <QString>

class QWidget;

namespace tavrio {
class Error;
}

namespace tavrio::app {

// The caption of every message box the program shows. It is not the window's caption.
inline constexpr char kApplicationTitle[] = "Tavrio";

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows `text` with an OK button and no icon; returns once the user has dismissed it.
  virtual void Inform(QWidget* parent, const QString& text) = 0;
  // Shows the error's number and description; returns once the user has dismissed it.
  virtual void ReportError(QWidget* parent, const Error& error) = 0;
};

// Real modal message boxes, titled with the application title.
class DialogMessageBoxes : public MessageBoxes {
 public:
  void Inform(QWidget* parent, const QString& text) override;
  void ReportError(QWidget* parent, const Error& error) override;
};

// The messages printed instead, the summary to standard output and errors to standard error,
// for the programs that drive the window with nobody to click a box away (screenshots, scenes).
class TerminalMessageBoxes : public MessageBoxes {
 public:
  void Inform(QWidget* parent, const QString& text) override;
  void ReportError(QWidget* parent, const Error& error) override;
};

}  // namespace tavrio::app
