#include "gui/CViewOptionsSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/CAddFilterDlg.h"
#include "gui/Messages.h"

namespace oru {
namespace {

constexpr int kNameRole = Qt::UserRole;

QListWidgetItem* AddName(QListWidget* list, const std::string& name) {
    auto* item = new QListWidgetItem(ColumnTitle(name), list);
    item->setData(kNameRole, QString::fromStdString(name));
    return item;
}

std::string NameOf(const QListWidgetItem* item) {
    return item->data(kNameRole).toString().toStdString();
}

std::vector<std::string> SelectedNames(const QListWidget* list) {
    std::vector<std::string> names;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected()) {
            names.push_back(NameOf(list->item(i)));
        }
    }
    return names;
}

int SelectedCount(const QListWidget* list) {
    return static_cast<int>(SelectedNames(list).size());
}

QPushButton* Button(TextId text, QWidget* parent) {
    return new QPushButton(QText(text), parent);
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Swaps the single selected entry of a list with its neighbour (step -1 up,
// +1 down); nothing at the ends.
void MoveSelected(std::vector<std::string>& names, QListWidget* list, int step) {
    int selected = -1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected()) {
            selected = i;
        }
    }
    const int other = selected + step;
    if (selected < 0 || other < 0 || other >= static_cast<int>(names.size())) {
        return;
    }
    std::swap(names[static_cast<std::size_t>(selected)], names[static_cast<std::size_t>(other)]);
}

void ShowNames(QListWidget* list, const std::vector<std::string>& names,
               const std::string& selected) {
    list->clear();
    for (const std::string& name : names) {
        QListWidgetItem* item = AddName(list, name);
        if (name == selected) {
            item->setSelected(true);
            list->setCurrentItem(item);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Columns

CViewColumnsPage::CViewColumnsPage(OptionsDraft& draft, QWidget* parent)
    : QWidget(parent),
      draft_(draft),
      available_(new QListWidget(this)),
      shown_(new QListWidget(this)) {
    available_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    shown_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* add = Button(txt::kAdd, this);
    auto* remove = Button(txt::kRemove, this);
    auto* up = Button(txt::kMoveUp, this);
    auto* down = Button(txt::kMoveDown, this);
    connect(add, &QPushButton::clicked, this, &CViewColumnsPage::Add);
    connect(remove, &QPushButton::clicked, this, &CViewColumnsPage::Remove);
    connect(up, &QPushButton::clicked, this, &CViewColumnsPage::MoveUp);
    connect(down, &QPushButton::clicked, this, &CViewColumnsPage::MoveDown);
    connect(available_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        available_->clearSelection();
        item->setSelected(true);
        Add();
    });
    connect(shown_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        shown_->clearSelection();
        item->setSelected(true);
        Remove();
    });

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QText(txt::kAvailableColumns), this), 0, 0);
    layout->addWidget(new QLabel(QText(txt::kShownColumns), this), 0, 2);
    layout->addWidget(available_, 1, 0);
    auto* middle = new QVBoxLayout();
    middle->addStretch();
    middle->addWidget(add);
    middle->addWidget(remove);
    middle->addStretch();
    layout->addLayout(middle, 1, 1);
    layout->addWidget(shown_, 1, 2);
    auto* order = new QVBoxLayout();
    order->addStretch();
    order->addWidget(up);
    order->addWidget(down);
    order->addStretch();
    layout->addLayout(order, 1, 3);
    Reload();
}

void CViewColumnsPage::Reload() {
    const std::vector<std::string> selected = SelectedNames(shown_);
    available_->clear();
    for (const std::string& column : CViewSettings::AvailableColumns()) {
        if (!Contains(draft_.columns, column)) {
            AddName(available_, column);
        }
    }
    shown_->clear();
    for (const std::string& column : draft_.columns) {
        AddName(shown_, column)->setSelected(Contains(selected, column));
    }
}

void CViewColumnsPage::Add() {
    std::vector<std::string> chosen = SelectedNames(available_);
    if (chosen.empty()) {
        ShowMessage(this, QText(txt::kSelectAvailableColumn), QMessageBox::Warning);
        return;
    }
    if (static_cast<int>(chosen.size()) > kMostAdded) {
        chosen.resize(kMostAdded);
    }
    draft_.columns.insert(draft_.columns.end(), chosen.begin(), chosen.end());
    Reload();
}

void CViewColumnsPage::Remove() {
    const std::vector<std::string> chosen = SelectedNames(shown_);
    if (chosen.empty()) {
        ShowMessage(this, QText(txt::kSelectShownColumn), QMessageBox::Warning);
        return;
    }
    if (chosen.size() >= draft_.columns.size()) {
        ShowMessage(this, QText(txt::kOneColumnMustRemain), QMessageBox::Warning);
        return;
    }
    std::erase_if(draft_.columns, [&chosen](const std::string& c) { return Contains(chosen, c); });
    Reload();
}

void CViewColumnsPage::MoveUp() {
    Move(-1);
}

void CViewColumnsPage::MoveDown() {
    Move(+1);
}

void CViewColumnsPage::Move(int step) {
    if (SelectedCount(shown_) != 1) {
        ShowMessage(this, QText(txt::kSelectSingleColumn), QMessageBox::Warning);
        return;
    }
    MoveSelected(draft_.columns, shown_, step);
    Reload();
}

// ---------------------------------------------------------------------------
// Filter

CViewFilterPage::CViewFilterPage(OptionsDraft& draft, QWidget* parent)
    : QWidget(parent),
      draft_(draft),
      column_(new QComboBox(this)),
      enable_(new QCheckBox(QText(txt::kEnableFilter), this)),
      include_(new QListWidget(this)),
      exclude_(new QListWidget(this)) {
    auto* includeLabel = new QLabel(QText(txt::kIncludeFilters), this);
    auto* excludeLabel = new QLabel(QText(txt::kExcludeFilters), this);
    auto* addInclude = Button(txt::kAddInclude, this);
    auto* removeInclude = Button(txt::kRemoveInclude, this);
    auto* addExclude = Button(txt::kAddExclude, this);
    auto* removeExclude = Button(txt::kRemoveExclude, this);
    connect(addInclude, &QPushButton::clicked, this, &CViewFilterPage::AddInclude);
    connect(removeInclude, &QPushButton::clicked, this, &CViewFilterPage::RemoveInclude);
    connect(addExclude, &QPushButton::clicked, this, &CViewFilterPage::AddExclude);
    connect(removeExclude, &QPushButton::clicked, this, &CViewFilterPage::RemoveExclude);
    filterControls_ = {includeLabel, include_, addInclude, removeInclude,
                       excludeLabel, exclude_, addExclude, removeExclude};

    for (const ColumnFilter& filter : draft_.filters) {
        column_->addItem(ColumnTitle(filter.column), QString::fromStdString(filter.column));
    }
    connect(column_, &QComboBox::currentIndexChanged, this, [this] { ShowFilter(); });
    connect(enable_, &QCheckBox::toggled, this, [this](bool on) {
        if (ColumnFilter* filter = Current()) {
            filter->enabled = on;
        }
        for (QWidget* control : filterControls_) {
            control->setEnabled(on);
        }
    });

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QText(txt::kFilterColumn), this), 0, 0);
    layout->addWidget(column_, 0, 1, 1, 2);
    layout->addWidget(enable_, 1, 0, 1, 3);
    layout->addWidget(includeLabel, 2, 0);
    layout->addWidget(include_, 3, 0, 2, 2);
    layout->addWidget(addInclude, 3, 2);
    layout->addWidget(removeInclude, 4, 2);
    layout->addWidget(excludeLabel, 5, 0);
    layout->addWidget(exclude_, 6, 0, 2, 2);
    layout->addWidget(addExclude, 6, 2);
    layout->addWidget(removeExclude, 7, 2);
    ShowFilter();
}

ColumnFilter* CViewFilterPage::Current() {
    const std::string name = column_->currentData().toString().toStdString();
    for (ColumnFilter& filter : draft_.filters) {
        if (filter.column == name) {
            return &filter;
        }
    }
    return nullptr;
}

void CViewFilterPage::Reload() {
    ShowFilter();
}

void CViewFilterPage::ShowFilter() {
    include_->clear();
    exclude_->clear();
    const ColumnFilter* filter = Current();
    const bool on = filter != nullptr && filter->enabled;
    if (filter != nullptr) {
        for (const std::string& pattern : filter->include) {
            include_->addItem(QString::fromStdString(pattern));
        }
        for (const std::string& pattern : filter->exclude) {
            exclude_->addItem(QString::fromStdString(pattern));
        }
    }
    {
        const QSignalBlocker quiet(enable_);
        enable_->setChecked(on);
    }
    for (QWidget* control : filterControls_) {
        control->setEnabled(on);
    }
}

void CViewFilterPage::AddInclude() {
    AddPattern(true);
}

void CViewFilterPage::AddExclude() {
    AddPattern(false);
}

void CViewFilterPage::RemoveInclude() {
    RemovePattern(true);
}

void CViewFilterPage::RemoveExclude() {
    RemovePattern(false);
}

void CViewFilterPage::AddPattern(bool include) {
    ColumnFilter* filter = Current();
    if (filter == nullptr) {
        return;
    }
    CAddFilterDlg dialog(QText(include ? txt::kPromptInclude : txt::kPromptExclude), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::vector<std::string>& list = include ? filter->include : filter->exclude;
    const std::string pattern = dialog.Text().toStdString();
    if (!Contains(list, pattern)) {
        list.push_back(pattern);
    }
    ShowFilter();
}

void CViewFilterPage::RemovePattern(bool include) {
    ColumnFilter* filter = Current();
    QListWidget* list = include ? include_ : exclude_;
    QListWidgetItem* item = list->currentItem();
    if (filter == nullptr || item == nullptr || !item->isSelected()) {
        ShowMessage(this, QText(include ? txt::kSelectIncludeFilter : txt::kSelectExcludeFilter),
                    QMessageBox::Warning);
        return;
    }
    std::vector<std::string>& patterns = include ? filter->include : filter->exclude;
    const std::string pattern = item->text().toStdString();
    std::erase(patterns, pattern);
    ShowFilter();
}

// ---------------------------------------------------------------------------
// Sort

CViewSortPage::CViewSortPage(OptionsDraft& draft, QWidget* parent)
    : QWidget(parent),
      draft_(draft),
      order_(new QListWidget(this)),
      ascending_(new QRadioButton(QText(txt::kAscending), this)),
      descending_(new QRadioButton(QText(txt::kDescending), this)) {
    order_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* up = Button(txt::kMoveUp, this);
    auto* down = Button(txt::kMoveDown, this);
    connect(up, &QPushButton::clicked, this, &CViewSortPage::MoveUp);
    connect(down, &QPushButton::clicked, this, &CViewSortPage::MoveDown);
    connect(ascending_, &QRadioButton::toggled, this, [this](bool on) {
        draft_.sortMethod = on ? CViewSettings::kAscending : CViewSettings::kDescending;
    });

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QText(txt::kSortOrder), this), 0, 0);
    layout->addWidget(order_, 1, 0, 3, 1);
    layout->addWidget(up, 1, 1);
    layout->addWidget(down, 2, 1);
    layout->addWidget(ascending_, 4, 0);
    layout->addWidget(descending_, 5, 0);
    Reload();
}

void CViewSortPage::Reload() {
    draft_.sort = CViewSettings::AlignedSortOrder(draft_.columns, draft_.sort);
    const std::vector<std::string> selected = SelectedNames(order_);
    ShowNames(order_, draft_.sort, selected.empty() ? std::string() : selected.front());
    const QSignalBlocker quietUp(ascending_);
    const QSignalBlocker quietDown(descending_);
    ascending_->setChecked(draft_.sortMethod != CViewSettings::kDescending);
    descending_->setChecked(draft_.sortMethod == CViewSettings::kDescending);
}

void CViewSortPage::MoveUp() {
    Move(-1);
}

void CViewSortPage::MoveDown() {
    Move(+1);
}

void CViewSortPage::Move(int step) {
    const std::vector<std::string> selected = SelectedNames(order_);
    if (selected.size() != 1) {
        ShowMessage(this, QText(txt::kSelectSortColumn), QMessageBox::Warning);
        return;
    }
    MoveSelected(draft_.sort, order_, step);
    ShowNames(order_, draft_.sort, selected.front());
}

// ---------------------------------------------------------------------------
// The sheet

CViewOptionsSheet::CViewOptionsSheet(CViewSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), tabs_(new QTabWidget(this)) {
    draft_.columns = settings.Columns();
    draft_.sort = settings.SortOrder();
    draft_.filters = settings.Filters();
    draft_.sortMethod = settings.SortMethod();
    setWindowTitle(QText(txt::kViewOptions));
    columns_ = new CViewColumnsPage(draft_, tabs_);
    filter_ = new CViewFilterPage(draft_, tabs_);
    sort_ = new CViewSortPage(draft_, tabs_);
    tabs_->addTab(columns_, QText(txt::kColumnsPage));
    tabs_->addTab(filter_, QText(txt::kFilterPage));
    tabs_->addTab(sort_, QText(txt::kSortPage));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int page) {
        if (tabs_->widget(page) == sort_) {
            sort_->Reload();
        } else if (tabs_->widget(page) == filter_) {
            filter_->Reload();
        }
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(DialogButtons(this));
}

void CViewOptionsSheet::accept() {
    settings_.ApplyOptions(draft_.columns, draft_.sort, draft_.filters, draft_.sortMethod);
    QDialog::accept();
}

}  // namespace oru
