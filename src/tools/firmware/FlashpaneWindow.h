// flashpane's one modeless dialog with its menu: the arrays found on this
// host, the firmware file chosen, the Download and Cancel buttons, and while
// a download runs, the animation, with everything else disabled until the
// download program has ended. A 100 ms timer watches the child.
#pragma once

#include <QDialog>
#include <QTimer>

#include "tools/firmware/FlashpaneModel.h"
#include "tools/firmware/FlashpanePrompts.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace flashpane {

class BytesAnimation;

class FlashpaneWindow : public QDialog {
    Q_OBJECT

  public:
    FlashpaneWindow(FlashpaneModel& model, FlashpanePrompts& prompts, QWidget* parent = nullptr);

    // What the dialog does as it opens: the discovery, the cluster warning,
    // the menu check cleared and Download disabled.
    void Initialize();

    // The commands of the buttons and the menu.
    void SelectFirmware();
    void StartDownload();
    void ShowAbout();
    void ShowHelp();
    void ToggleVerbose();

    bool Downloading() const { return model_.Running(); }

  signals:
    // The run of download ended and its message was shown.
    void DownloadFinished(int exitCode);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BuildMenu();
    void BuildControls();
    void Discover();
    // Tells the user why download did not start (nothing when it did).
    void TellNotStarted(const StartOutcome& outcome);
    void SetDownloading(bool on);
    void PollChild();
    void Quit();

    FlashpaneModel& model_;
    FlashpanePrompts& prompts_;
    QTimer timer_;
    QListWidget* arrays_ = nullptr;
    QPushButton* select_ = nullptr;
    QLineEdit* firmware_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QList<QLabel*> steps_;
    QList<QWidget*> busy_;
    BytesAnimation* animation_ = nullptr;
    QAction* exit_ = nullptr;
    QAction* verbose_ = nullptr;
    QAction* help_ = nullptr;
    QAction* about_ = nullptr;
};

// The help file beside the installed program.
QString HelpFilePath();

}  // namespace flashpane
