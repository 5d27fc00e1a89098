#include "gui/CCreateViewDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/Messages.h"

namespace oru {

CCreateViewDlg::CCreateViewDlg(QWidget* parent) : QDialog(parent), edit_(new QLineEdit(this)) {
    setWindowTitle(QText(txt::kCreateViewTitle));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QText(txt::kCreateViewPrompt), this);
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addWidget(DialogButtons(this));
}

std::string CCreateViewDlg::Name() const {
    return edit_->text().trimmed().toStdString();
}

}  // namespace oru
