#include "gui/CAboutDlg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "gui/Messages.h"
#include "gui/Pictures.h"

namespace oru {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QText(txt::kAboutTitle));
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(WaitPicture::Frame(0));
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    auto* product = new QLabel(QText(txt::kAboutProduct), this);
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    layout->addWidget(product, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(QText(txt::kAboutVersion, ORU_VERSION), this), 0,
                      Qt::AlignHCenter);
    layout->addWidget(new QLabel(QText(txt::kAboutRights), this), 0, Qt::AlignHCenter);
    layout->addWidget(DialogButtons(this, false));
}

}  // namespace oru
