// The Diagnostics page: the array's disks as a tree beside a picture of
// their slots, with the commands that act on a disk (include, down, test),
// on the whole array (shutdown, restart, reset, format), on its controllers
// (make the other one primary) and on its logs; and its dialogs: Test Disk,
// Down Disk Warning, Enter Percent to Test, and the controller's event log.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

#include "client/DOWN_TYPE.h"
#include "gui/CDevPropSheet.h"
#include "gui/SheetPictures.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace oru {

class CPictureView;

// Enter Percent to Test (dialog 160): a whole percentage from 1 to 100.
class CPercentDlg : public QDialog {
    Q_OBJECT

  public:
    CPercentDlg(const QString& warning, QWidget* parent = nullptr);
    std::uint32_t Percent() const { return percent_; }
    QLineEdit* Edit() const { return edit_; }
    void accept() override;

  private:
    QLineEdit* edit_ = nullptr;
    std::uint32_t percent_ = 0;
};

// Down Disk Warning (dialog 159): what taking the disk down may cost.
class CDownDiskDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CDownDiskDlg(QWidget* parent = nullptr);
    DOWN_TYPE Choice() const;
    QRadioButton* Option(int i) const { return options_[i]; }

  private:
    QRadioButton* options_[3] = {};
};

// Test Disk (dialog 158): one disk's details and test, updated every second.
class CTestDiskDlg : public QDialog {
    Q_OBJECT

  public:
    CTestDiskDlg(ArrayCommands& commands, std::uint32_t disk, QWidget* parent = nullptr);

    void Update();
    void OnReadVerify();
    void OnWriteRead();
    void OnAbort();

    QPlainTextEdit* Information() const { return information_; }
    QLabel* TypeText() const { return type_; }
    QLabel* StatusText() const { return status_; }
    // How many chunks a failed test found failing, and where the first lies.
    QLabel* FailureText() const { return failure_; }
    QProgressBar* Progress() const { return progress_; }
    QTimer& Timer() { return timer_; }

  private:
    // Asks for the share of the disk to test: 0 when cancelled.
    std::uint32_t AskPercent(TextId warning);

    ArrayCommands& commands_;
    std::uint32_t disk_;
    QPlainTextEdit* information_ = nullptr;
    QLabel* type_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* failure_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer timer_;
};

// The controller's event log, entry by entry.
class CControllerLogDlg : public QDialog {
    Q_OBJECT

  public:
    CControllerLogDlg(const std::vector<std::string>& lines, QWidget* parent = nullptr);
    QListWidget* List() const { return list_; }

  private:
    QListWidget* list_ = nullptr;
};

class CDevDiagPage : public CSheetPage {
    Q_OBJECT

  public:
    explicit CDevDiagPage(CDevPropSheet& sheet);

    // The disk tree and picture from the array's state; the disk last acted
    // on is opened and selected again.
    void Refresh();
    // The selected disk, or the disk whose detail line is selected.
    std::optional<std::uint32_t> SelectedDisk() const;
    void SelectDisk(std::uint32_t disk);
    void OnPictureClicked(const QPoint& point);

    void OnInclude();
    void OnDown();
    void OnTest();
    void OnShutdown();
    void OnRestart();
    void OnReset();
    void OnFormat();
    void OnSwitch(std::uint32_t controller);
    void OnLogRestart();
    void OnLogView();
    void OnLogClear();

    QTreeWidget* Tree() const { return tree_; }
    CPictureView* Picture() const { return picture_; }

  private:
    // The selected disk; 4117 when there is none.
    std::optional<std::uint32_t> DiskForCommand();
    // Reads the controller's event log (and clears it with `clear`).
    std::optional<std::vector<unsigned char>> ReadLog(bool clear);

    QTreeWidget* tree_ = nullptr;
    CPictureView* picture_ = nullptr;
    std::vector<FramedComponent> framed_;
    std::optional<std::uint32_t> lastDisk_;
};

}  // namespace oru
