// The Logical Drives page: the array's logical drives as bars scaled to the
// largest, and the Create, Renumber, Delete and Format commands with the
// Create Logical Drive and Renumber Logical Drive dialogs.
#pragma once

#include <QDialog>
#include <QStyledItemDelegate>

#include <cstdint>
#include <optional>
#include <vector>

#include "gui/CDevPropSheet.h"
#include "gui/LogicalDrives.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace oru {

// Draws one logical drive of the list as its bar.
class CLunBarDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kCapacityRole = Qt::UserRole + 1;
    static constexpr int kLargestRole = Qt::UserRole + 2;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Create Logical Drive (dialog 156): a capacity between 0.01 GB and the
// unallocated capacity, and one of the free numbers.
class CCreateLunDlg : public QDialog {
    Q_OBJECT

  public:
    CCreateLunDlg(std::uint32_t maximum, std::uint32_t minimum,
                  const std::vector<std::uint32_t>& freeNumbers, QWidget* parent = nullptr);

    std::uint32_t Number() const { return number_; }
    std::uint32_t Capacity() const { return capacity_; }
    QLineEdit* CapacityEdit() const { return capacityEdit_; }
    QComboBox* Numbers() const { return numbers_; }
    // How many times the typed text was cleaned (and the program beeped).
    int Beeps() const { return beeps_; }

    void accept() override;

  private:
    void OnEdited(const QString& text);

    std::uint32_t maximum_;
    std::uint32_t minimum_;
    std::uint32_t number_ = 0;
    std::uint32_t capacity_ = 0;
    int beeps_ = 0;
    QLineEdit* capacityEdit_ = nullptr;
    QComboBox* numbers_ = nullptr;
};

// Renumber Logical Drive (dialog 157).
class CRenumberLunDlg : public QDialog {
    Q_OBJECT

  public:
    CRenumberLunDlg(std::uint32_t current, const std::vector<std::uint32_t>& freeNumbers,
                    QWidget* parent = nullptr);
    std::uint32_t Number() const;
    QComboBox* Numbers() const { return numbers_; }

  private:
    QComboBox* numbers_ = nullptr;
};

class CDevLUNPage : public CSheetPage {
    Q_OBJECT

  public:
    explicit CDevLUNPage(CDevPropSheet& sheet);

    // Not while the array's state is unknown or it is not running.
    bool MayActivate() override;
    // The list from the array's state.
    void Refresh();

    void OnCreate();
    void OnRenumber();
    void OnDelete();
    void OnFormat();

    const LunTable& Table() const { return table_; }
    QListWidget* List() const { return list_; }
    QPushButton* CreateButton() const { return create_; }
    // The number of the selected logical drive.
    std::optional<std::uint32_t> Selected() const;

  private:
    LunTable table_;
    QListWidget* list_ = nullptr;
    QPushButton* create_ = nullptr;
    QPushButton* renumber_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* format_ = nullptr;
};

// Whether the pages that need a running array may be shown: else message
// 4220 (shared by the Logical Drives and Capacity pages).
bool PageAvailable(ArrayCommands& commands);

}  // namespace oru
