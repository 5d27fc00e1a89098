// Create a View: asks for the new view's name. The name's rules are the
// view settings' (CViewSettings::CheckNewName).
#pragma once

#include <QDialog>

class QLineEdit;

namespace oru {

class CCreateViewDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CCreateViewDlg(QWidget* parent);
    // The name as typed, without blanks at either end.
    std::string Name() const;
    QLineEdit* Edit() const { return edit_; }

  private:
    QLineEdit* edit_;
};

}  // namespace oru
