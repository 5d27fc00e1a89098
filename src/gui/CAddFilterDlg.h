// Add Filter: asks for one include or exclude pattern of a column filter.
// OK with an empty text is refused and the dialog stays open.
#pragma once

#include <QDialog>

class QLineEdit;

namespace oru {

class CAddFilterDlg : public QDialog {
    Q_OBJECT

  public:
    // prompt: which kind of filter is asked for.
    CAddFilterDlg(const QString& prompt, QWidget* parent);
    QString Text() const;
    QLineEdit* Edit() const { return edit_; }

    void accept() override;

  private:
    QLineEdit* edit_;
};

}  // namespace oru
