// The wait dialog: a modeless window with a line that says what is being
// waited for, a second line the caller sets ("Current host: ..."), and an
// animated picture that moves on one step per Step().
#pragma once

#include <QDialog>

#include "gui/GuiTextIds.h"
#include "gui/Pictures.h"

class QLabel;

namespace oru {

class CNoticeDlg : public QDialog {
    Q_OBJECT

  public:
    CNoticeDlg(TextId firstLine, QWidget* parent);

    void SetSecondLine(const QString& text);
    void Step();
    int Frame() const { return sequence_.Index(); }
    QString FirstLine() const;
    QString SecondLine() const;

  private:
    QLabel* picture_;
    QLabel* first_;
    QLabel* second_;
    WaitSequence sequence_;
};

}  // namespace oru
