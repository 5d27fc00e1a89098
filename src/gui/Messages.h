// Texts for widgets and the program's message boxes.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QString>

#include <string>

#include "gui/GuiText.h"

namespace oru {

template <typename... Args>
QString QText(TextId id, Args... args) {
    return QString::fromStdString(GuiText(id, args...));
}

// The OK and Cancel buttons of a dialog (OK alone with withCancel false),
// wired to its accept and reject.
QDialogButtonBox* DialogButtons(QDialog* dialog, bool withCancel = true);

// The name of a column (given by its profile name) as the window shows it.
QString ColumnTitle(const std::string& column);

// A message box with the program's title and an OK button.
void ShowMessage(QWidget* parent, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::Information);
// A question with OK and Cancel (or Yes and No): true for OK (Yes).
bool AskOkCancel(QWidget* parent, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::Question);
bool AskYesNo(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Warning);

}  // namespace oru
