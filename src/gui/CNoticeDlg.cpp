#include "gui/CNoticeDlg.h"

#include <QGridLayout>
#include <QLabel>

#include "gui/Messages.h"

namespace oru {

CNoticeDlg::CNoticeDlg(TextId firstLine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      picture_(new QLabel(this)),
      first_(new QLabel(QText(firstLine), this)),
      second_(new QLabel(this)) {
    setWindowTitle(QText(txt::kPleaseWait));
    setModal(false);
    picture_->setPixmap(WaitPicture::Frame(sequence_.Index()));
    picture_->setFixedSize(WaitPicture::kSize, WaitPicture::kSize);
    auto* layout = new QGridLayout(this);
    layout->addWidget(picture_, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(first_, 0, 1);
    layout->addWidget(second_, 1, 1);
    layout->setColumnMinimumWidth(1, 280);
}

void CNoticeDlg::SetSecondLine(const QString& text) {
    second_->setText(text);
}

void CNoticeDlg::Step() {
    picture_->setPixmap(WaitPicture::Frame(sequence_.Step()));
}

QString CNoticeDlg::FirstLine() const {
    return first_->text();
}

QString CNoticeDlg::SecondLine() const {
    return second_->text();
}

}  // namespace oru
