#include "gui/CViewSettings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "client/OruSubsystemList.h"
#include "gui/GuiText.h"
#include "gui/ProfileKeys.h"
#include "gui/TextCompare.h"
#include "gui/Wildcard.h"
#include "platform/PrivateProfile.h"

namespace oru {
namespace {

constexpr const char* kTempView = "<Temp View>";
// A width beyond this is a damaged value, not a column.
constexpr int kLargestWidth = 10000;

std::string Key(const char* format, int index) {
    char text[64];
    std::snprintf(text, sizeof text, format, index);
    return text;
}

std::string Key(const char* format, const std::string& column) {
    char text[256];
    std::snprintf(text, sizeof text, format, column.c_str());
    return text;
}

std::string Key(const char* format, const std::string& column, int index) {
    char text[256];
    std::snprintf(text, sizeof text, format, column.c_str(), index);
    return text;
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

void RemoveRepeats(std::vector<std::string>* list) {
    std::vector<std::string> once;
    for (std::string& name : *list) {
        if (!Contains(once, name)) {
            once.push_back(std::move(name));
        }
    }
    *list = std::move(once);
}

bool IsAvailable(const std::string& column) {
    return Contains(CViewSettings::AvailableColumns(), column);
}

// A numbered list of a section: index 0 on until a key is missing.
std::vector<std::string> ReadList(const platform::ProfileData& data, const std::string& section,
                                  const std::function<std::string(int)>& key) {
    std::vector<std::string> list;
    for (int i = 0;; ++i) {
        std::optional<std::string> value = data.Get(section, key(i));
        if (!value || *value == keys::kMissing) {
            return list;
        }
        list.push_back(std::move(*value));
    }
}

// Writes a numbered list and removes the keys after its end, so that a
// shorter list ends where it should. A value the profile cannot hold ends
// the list there.
void WriteList(platform::ProfileData& data, const std::string& section,
               const std::vector<std::string>& list, const std::function<std::string(int)>& key) {
    int i = 0;
    for (; i < static_cast<int>(list.size()); ++i) {
        if (data.Set(section, key(i), list[static_cast<std::size_t>(i)]) != 0) {
            break;
        }
    }
    for (; data.Get(section, key(i)).has_value(); ++i) {
        data.DeleteKey(section, key(i));
    }
}

bool ReadLocalHostName(std::string* name, int* error) {
    errno = 0;
    if (OruSubsystemList::LocalHostName(name)) {
        return true;
    }
    *error = errno;
    return false;
}

}  // namespace

bool ColumnFilter::Keeps(const std::string& text) const {
    if (!enabled) {
        return true;
    }
    for (const std::string& pattern : exclude) {
        if (WildcardMatch(pattern, text)) {
            return false;
        }
    }
    if (include.empty()) {
        return true;
    }
    return std::any_of(include.begin(), include.end(), [&text](const std::string& pattern) {
        return WildcardMatch(pattern, text);
    });
}

CViewSettings::CViewSettings(platform::PrivateProfile& profile, HostNameReader hostName)
    : profile_(profile), hostName_(hostName ? std::move(hostName) : ReadLocalHostName) {
    views_ = {keys::kLocalHostView, keys::kAllHostsView};
    current_ = keys::kLocalHostView;
    for (const std::string& column : AvailableColumns()) {
        filters_.push_back(ColumnFilter{column, {}, {}, false});
    }
}

const std::vector<std::string>& CViewSettings::AvailableColumns() {
    static const std::vector<std::string> columns(keys::kColumnNames,
                                                  keys::kColumnNames + keys::kAvailableColumns);
    return columns;
}

const char* CViewSettings::TempViewName() {
    return kTempView;
}

// ---------------------------------------------------------------------------
// Views

void CViewSettings::LoadViews() {
    views_ = {keys::kLocalHostView, keys::kAllHostsView};
    if (hasTempView_) {
        views_.push_back(kTempView);
    }
    const platform::ProfileData data = profile_.Snapshot();
    if (std::optional<std::vector<std::string>> names = data.Keys(keys::kAllViews)) {
        for (const std::string& name : *names) {
            // A hand-made entry that repeats another view's name is one view.
            const bool known =
                std::any_of(views_.begin(), views_.end(),
                            [&name](const std::string& v) { return SameIgnoringCase(v, name); });
            if (!known) {
                views_.push_back(name);
            }
        }
    }
    SelectView(data.Get(keys::kViewSettings, keys::kCurrentView).value_or(keys::kLocalHostView));
}

bool CViewSettings::IsProtected(const std::string& view) const {
    return view == keys::kLocalHostView || view == keys::kAllHostsView ||
           (hasTempView_ && view == kTempView);
}

bool CViewSettings::IsLocalHostView(const std::string& view) const {
    return view == keys::kLocalHostView;
}

std::string CViewSettings::DisplayName(const std::string& view) const {
    if (view == keys::kLocalHostView) {
        return GuiText(txt::kLocalHostView);
    }
    if (view == keys::kAllHostsView) {
        return GuiText(txt::kAllHostsView);
    }
    if (hasTempView_ && view == kTempView) {
        return GuiText(txt::kTempView);
    }
    return view;
}

void CViewSettings::SelectView(const std::string& view) {
    current_ = Contains(views_, view) ? view : std::string(keys::kLocalHostView);
    if (!(hasTempView_ && current_ == kTempView)) {
        profile_.WriteString(keys::kViewSettings, keys::kCurrentView, current_);
    }
    LoadView();
}

void CViewSettings::AddTempView(const std::string& host) {
    if (!hasTempView_) {
        hasTempView_ = true;
        // After the built-in views: the protected views come first.
        views_.insert(views_.begin() + 2, kTempView);
    }
    tempHost_ = host;
    SelectView(kTempView);
}

CViewSettings::NameCheck CViewSettings::CheckNewName(const std::string& name) const {
    if (name.find_first_of("[]=") != std::string::npos || !platform::ProfileData::ValidKey(name) ||
        !platform::ProfileData::ValidSection(keys::kViewSectionPrefix + name)) {
        return NameCheck::kInvalid;
    }
    for (const std::string& view : views_) {
        if (SameIgnoringCase(view, name) || SameIgnoringCase(DisplayName(view), name)) {
            return NameCheck::kExists;
        }
    }
    return NameCheck::kOk;
}

bool CViewSettings::CreateView(const std::string& name) {
    if (CheckNewName(name) != NameCheck::kOk) {
        return false;
    }
    views_.push_back(name);
    profile_.WriteString(keys::kAllViews, name, name);
    SelectView(name);
    return true;
}

bool CViewSettings::DeleteCurrentView() {
    if (IsProtected(current_)) {
        return false;
    }
    const std::string gone = current_;
    views_.erase(std::remove(views_.begin(), views_.end(), gone), views_.end());
    profile_.Edit([&](platform::ProfileData& data) {
        data.DeleteKey(keys::kAllViews, gone);
        data.DeleteSection(Section(gone));
        return 0;
    });
    return true;
}

std::optional<int> CViewSettings::TakeHostNameError() {
    std::optional<int> error = hostNameError_;
    hostNameError_.reset();
    return error;
}

std::string CViewSettings::Section(const std::string& view) const {
    return keys::kViewSectionPrefix + view;
}

// ---------------------------------------------------------------------------
// The current view

int CViewSettings::StoredWidth(const std::string& column) const {
    const int width =
        profile_.ReadInt(keys::kViewSettings, Key(keys::kColumnSize, column), kDefaultWidth);
    return width >= 1 && width <= kLargestWidth ? width : kDefaultWidth;
}

void CViewSettings::LoadView() {
    const platform::ProfileData data = profile_.Snapshot();
    const std::string section = Section(current_);
    columns_.clear();
    widths_.clear();
    sort_.clear();
    for (int i = 0;; ++i) {
        std::optional<std::string> column = data.Get(section, Key(keys::kColumn, i));
        if (!column || *column == keys::kMissing) {
            break;
        }
        columns_.push_back(*column);
        std::optional<std::string> sortEntry = data.Get(section, Key(keys::kSort, i));
        if (sortEntry && *sortEntry != keys::kMissing) {
            sort_.push_back(*sortEntry);
        }
    }
    // Names no column has are damage, not columns.
    std::erase_if(columns_, [](const std::string& c) { return !IsAvailable(c); });
    if (columns_.empty()) {
        columns_ = {keys::kColumnNames[6], keys::kColumnNames[0], keys::kColumnNames[3]};
        sort_ = columns_;
    }
    RemoveRepeats(&columns_);
    sort_ = AlignedSortOrder(columns_, std::move(sort_));
    for (const std::string& column : columns_) {
        widths_.push_back(StoredWidth(column));
    }

    for (ColumnFilter& filter : filters_) {
        const std::string& c = filter.column;
        const std::optional<std::string> enabled = data.Get(section, Key(keys::kEnableFilter, c));
        filter.enabled = enabled.has_value() && *enabled == "1";
        filter.include =
            ReadList(data, section, [&c](int i) { return Key(keys::kIncludeFilter, c, i); });
        filter.exclude =
            ReadList(data, section, [&c](int i) { return Key(keys::kExcludeFilter, c, i); });
    }

    sortMethod_ =
        data.Get(section, keys::kSortMethod).value_or("0") == "1" ? kDescending : kAscending;
    hosts_.clear();
    if (current_ == keys::kLocalHostView) {
        searchMethod_ = kSearchSpecifiedHosts;
        std::string name;
        int error = 0;
        if (!hostName_(&name, &error)) {
            hostNameError_ = error;
            name = keys::kLocalHostView;
        }
        hosts_.push_back(name);
    } else if (current_ == keys::kAllHostsView) {
        searchMethod_ = kSearchAllKnownHosts;
    } else if (hasTempView_ && current_ == kTempView) {
        searchMethod_ = kSearchSpecifiedHosts;
        hosts_.push_back(tempHost_);
    } else {
        searchMethod_ = data.Get(section, keys::kSearchMethod).value_or("0") == "1"
                            ? kSearchSpecifiedHosts
                            : kSearchAllKnownHosts;
        hosts_ = ReadList(data, section, [](int i) { return Key(keys::kHostSearch, i); });
    }
}

void CViewSettings::SaveView() {
    if (hasTempView_ && current_ == kTempView) {
        return;
    }
    const std::string section = Section(current_);
    profile_.Edit([&](platform::ProfileData& data) {
        WriteList(data, section, columns_, [](int i) { return Key(keys::kColumn, i); });
        WriteList(data, section, sort_, [](int i) { return Key(keys::kSort, i); });
        for (const ColumnFilter& filter : filters_) {
            const std::string& c = filter.column;
            data.Set(section, Key(keys::kEnableFilter, c), filter.enabled ? "1" : "0");
            WriteList(data, section, filter.include,
                      [&c](int i) { return Key(keys::kIncludeFilter, c, i); });
            WriteList(data, section, filter.exclude,
                      [&c](int i) { return Key(keys::kExcludeFilter, c, i); });
        }
        data.Set(section, keys::kSortMethod, std::to_string(sortMethod_));
        data.Set(section, keys::kSearchMethod, std::to_string(searchMethod_));
        WriteList(data, section, hosts_, [](int i) { return Key(keys::kHostSearch, i); });
        return 0;
    });
}

int CViewSettings::ColumnWidth(int index) const {
    if (index < 0 || index >= static_cast<int>(widths_.size())) {
        return kDefaultWidth;
    }
    const int width = widths_[static_cast<std::size_t>(index)];
    return index == 0 ? width + kGroupBoxWidth : width;
}

void CViewSettings::SetColumnWidth(int index, int width) {
    if (index < 0 || index >= static_cast<int>(widths_.size())) {
        return;
    }
    if (index == 0) {
        width -= kGroupBoxWidth;
    }
    if (width <= 0) {
        width = kSmallestWidth;
    }
    width = std::min(width, kLargestWidth);
    int& stored = widths_[static_cast<std::size_t>(index)];
    if (stored != width) {
        stored = width;
        profile_.WriteInt(keys::kViewSettings,
                          Key(keys::kColumnSize, columns_[static_cast<std::size_t>(index)]), width);
    }
}

void CViewSettings::SetColumn(int index, const std::string& name) {
    if (index < 0) {
        return;
    }
    const auto at = std::min(static_cast<std::size_t>(index), columns_.size());
    columns_.resize(at);
    widths_.resize(at);
    columns_.push_back(name);
    widths_.push_back(StoredWidth(name));
}

void CViewSettings::SetSortEntry(int index, const std::string& name) {
    if (index < 0) {
        return;
    }
    sort_.resize(std::min(static_cast<std::size_t>(index), sort_.size()));
    sort_.push_back(name);
}

void CViewSettings::SetSortMethod(int method) {
    sortMethod_ = method == kDescending ? kDescending : kAscending;
}

void CViewSettings::SetSearchMethod(int method) {
    searchMethod_ = method == kSearchSpecifiedHosts ? kSearchSpecifiedHosts : kSearchAllKnownHosts;
}

void CViewSettings::SetHost(int index, const std::optional<std::string>& name) {
    if (!name) {
        hosts_.clear();
        return;
    }
    if (index < 0) {
        return;
    }
    hosts_.resize(std::min(static_cast<std::size_t>(index), hosts_.size()));
    hosts_.push_back(*name);
}

const ColumnFilter* CViewSettings::Filter(const std::string& column) const {
    for (const ColumnFilter& filter : filters_) {
        if (filter.column == column) {
            return &filter;
        }
    }
    return nullptr;
}

ColumnFilter* CViewSettings::Filter(const std::string& column) {
    return const_cast<ColumnFilter*>(std::as_const(*this).Filter(column));
}

std::vector<std::string> CViewSettings::AlignedSortOrder(const std::vector<std::string>& columns,
                                                         std::vector<std::string> sort) {
    std::erase_if(sort, [&columns](const std::string& s) { return !Contains(columns, s); });
    for (const std::string& column : columns) {
        if (!Contains(sort, column)) {
            sort.push_back(column);
        }
    }
    RemoveRepeats(&sort);
    return sort;
}

void CViewSettings::ApplyOptions(std::vector<std::string> columns, std::vector<std::string> sort,
                                 std::vector<ColumnFilter> filters, int sortMethod) {
    if (columns.empty()) {
        return;  // the Columns page keeps at least one
    }
    sort = AlignedSortOrder(columns, std::move(sort));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        SetColumn(static_cast<int>(i), columns[i]);
    }
    for (std::size_t i = 0; i < sort.size(); ++i) {
        SetSortEntry(static_cast<int>(i), sort[i]);
    }
    for (const ColumnFilter& given : filters) {
        if (ColumnFilter* filter = Filter(given.column)) {
            *filter = given;
            filter->enabled = given.enabled && Contains(columns_, given.column);
        }
    }
    SetSortMethod(sortMethod);
    SaveView();
}

void CViewSettings::ApplyHosts(bool specified, std::vector<std::string> hosts) {
    if (specified && !hosts.empty()) {
        SetSearchMethod(kSearchSpecifiedHosts);
        SetHost(0, std::nullopt);
        for (std::size_t i = 0; i < hosts.size(); ++i) {
            SetHost(static_cast<int>(i), hosts[i]);
        }
    } else {
        SetSearchMethod(kSearchAllKnownHosts);
    }
    SaveView();
}

}  // namespace oru
