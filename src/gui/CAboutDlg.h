// About: the product name, its version and the rights notice.
#pragma once

#include <QDialog>

namespace oru {

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent);
};

}  // namespace oru
