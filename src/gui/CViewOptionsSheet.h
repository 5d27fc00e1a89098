// View Options: the sheet that changes the current view's columns, filters
// and sort order. Its three pages work on one draft of the settings; OK
// hands the draft to the view settings (CViewSettings::ApplyOptions),
// Cancel drops it.
#pragma once

#include <QDialog>
#include <QWidget>

#include <string>
#include <vector>

#include "gui/CViewSettings.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace oru {

struct OptionsDraft {
    std::vector<std::string> columns;
    std::vector<std::string> sort;
    std::vector<ColumnFilter> filters;
    int sortMethod = CViewSettings::kAscending;
};

// Columns: the available and the shown columns.
class CViewColumnsPage : public QWidget {
    Q_OBJECT

  public:
    // At most this many columns are added at a time.
    static constexpr int kMostAdded = 16;

    explicit CViewColumnsPage(OptionsDraft& draft, QWidget* parent = nullptr);
    void Reload();

    void Add();
    void Remove();
    void MoveUp();
    void MoveDown();

    QListWidget* Available() const { return available_; }
    QListWidget* Shown() const { return shown_; }

  private:
    void Move(int step);

    OptionsDraft& draft_;
    QListWidget* available_;
    QListWidget* shown_;
};

// Filter: for the chosen column its enable box and its include and exclude
// lists.
class CViewFilterPage : public QWidget {
    Q_OBJECT

  public:
    explicit CViewFilterPage(OptionsDraft& draft, QWidget* parent = nullptr);
    void Reload();

    void AddInclude();
    void RemoveInclude();
    void AddExclude();
    void RemoveExclude();

    QComboBox* Column() const { return column_; }
    QCheckBox* Enable() const { return enable_; }
    QListWidget* Include() const { return include_; }
    QListWidget* Exclude() const { return exclude_; }

  private:
    ColumnFilter* Current();
    void ShowFilter();
    void AddPattern(bool include);
    void RemovePattern(bool include);

    OptionsDraft& draft_;
    QComboBox* column_;
    QCheckBox* enable_;
    QListWidget* include_;
    QListWidget* exclude_;
    std::vector<QWidget*> filterControls_;
};

// Sort: the sort order and its direction.
class CViewSortPage : public QWidget {
    Q_OBJECT

  public:
    explicit CViewSortPage(OptionsDraft& draft, QWidget* parent = nullptr);
    // Brings the sort order in line with the shown columns and shows it.
    void Reload();

    void MoveUp();
    void MoveDown();

    QListWidget* Order() const { return order_; }
    QRadioButton* Ascending() const { return ascending_; }
    QRadioButton* Descending() const { return descending_; }

  private:
    void Move(int step);

    OptionsDraft& draft_;
    QListWidget* order_;
    QRadioButton* ascending_;
    QRadioButton* descending_;
};

class CViewOptionsSheet : public QDialog {
    Q_OBJECT

  public:
    CViewOptionsSheet(CViewSettings& settings, QWidget* parent);

    CViewColumnsPage* ColumnsPage() const { return columns_; }
    CViewFilterPage* FilterPage() const { return filter_; }
    CViewSortPage* SortPage() const { return sort_; }
    QTabWidget* Tabs() const { return tabs_; }

    void accept() override;

  private:
    CViewSettings& settings_;
    OptionsDraft draft_;
    QTabWidget* tabs_;
    CViewColumnsPage* columns_;
    CViewFilterPage* filter_;
    CViewSortPage* sort_;
};

}  // namespace oru
