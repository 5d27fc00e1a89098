#include "tools/firmware/FlashpanePrompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace flashpane {

void DesktopPrompts::Tell(QWidget* parent, const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(icon == Icon::kInformation ? QMessageBox::Information
                    : icon == Icon::kWarning   ? QMessageBox::Warning
                                               : QMessageBox::Critical,
                    caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopPrompts::Confirm(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    return box.exec() == QMessageBox::Ok;
}

QString DesktopPrompts::ChooseFile(QWidget* parent, const QString& title, const QString& directory,
                                   const QString& filters) {
    QFileDialog dialog(parent, title, directory, filters);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

}  // namespace flashpane
