// The host views of the array list and their settings, kept in the
// program's profile file.
//
// A view says which columns the list shows and how wide, how it is sorted,
// which rows each column's include and exclude filters keep, and which
// hosts are searched for arrays. Two views are built in ("Local host": this
// host; "All known hosts": every host the model knows) and cannot be
// changed or deleted; a view named on the command line ("<Temp View>") is
// protected too and lives only for the run. The user's views are listed
// under [AllViews] and each keeps its settings in [View:<name>]; column
// widths are shared by all views under [ViewSettings] (see ProfileKeys.h).
//
// Views and columns are known by their profile names, which are the same in
// every language; DisplayName gives what the window shows. Damaged values
// in the profile read as their defaults. Knows nothing of widgets.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class PrivateProfile;
}

namespace oru {

struct ColumnFilter {
    std::string column;
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    bool enabled = false;

    // Whether a row whose text in this column is `text` stays: an enabled
    // filter keeps it when it matches at least one include pattern (if
    // there are any) and no exclude pattern.
    bool Keeps(const std::string& text) const;
};

class CViewSettings {
  public:
    static constexpr int kDefaultWidth = 130;
    // Column 0 also holds the group box of a row.
    static constexpr int kGroupBoxWidth = 14;
    static constexpr int kSmallestWidth = 5;
    static constexpr int kAscending = 0;
    static constexpr int kDescending = 1;
    static constexpr int kSearchAllKnownHosts = 0;
    static constexpr int kSearchSpecifiedHosts = 1;

    // Reads this host's name; on failure returns false and an error code.
    using HostNameReader = std::function<bool(std::string* name, int* error)>;

    explicit CViewSettings(platform::PrivateProfile& profile, HostNameReader hostName = {});

    // The columns a view may show, by profile name, in their offered order.
    static const std::vector<std::string>& AvailableColumns();
    // Profile name of the temporary view of the command line.
    static const char* TempViewName();

    // --- views ---
    // Reads the user's views and selects the view shown last.
    void LoadViews();
    // Built-in views first, then the temporary view (when there is one),
    // then the user's views in the order the profile lists them.
    const std::vector<std::string>& ViewNames() const { return views_; }
    bool IsProtected(const std::string& view) const;
    bool IsLocalHostView(const std::string& view) const;
    std::string DisplayName(const std::string& view) const;
    const std::string& CurrentView() const { return current_; }
    // Makes the view current (remembered in the profile, but for the
    // temporary view) and loads its settings; an unknown name selects
    // "Local host".
    void SelectView(const std::string& view);
    // Adds the protected view "<Temp View>" that searches just `host` and
    // makes it current.
    void AddTempView(const std::string& host);

    enum class NameCheck { kOk, kExists, kInvalid };
    // A new view's name must not be blank, must not hold "[", "]", "=" or
    // anything the profile cannot hold as a key, and must differ (ignoring
    // case) from every view's name as stored and as shown.
    NameCheck CheckNewName(const std::string& name) const;
    // Appends the view, lists it under [AllViews] and selects it. False when
    // the name does not pass CheckNewName.
    bool CreateView(const std::string& name);
    // Removes the current view with its [AllViews] key and its section;
    // refused (false) for a protected view. Selects nothing.
    bool DeleteCurrentView();

    // The last failure to read this host's name when the local host view
    // was loaded (cleared by reading it).
    std::optional<int> TakeHostNameError();

    // --- the current view ---
    void LoadView();
    // Writes the view's section (not for the temporary view).
    void SaveView();

    const std::vector<std::string>& Columns() const { return columns_; }
    // Shown width of a column (column 0 holds the group box as well).
    int ColumnWidth(int index) const;
    // Stores a shown width; a change is written to the profile at once.
    void SetColumnWidth(int index, int width);
    // Drops the columns after index, puts the name there and reads its width.
    void SetColumn(int index, const std::string& name);
    const std::vector<std::string>& SortOrder() const { return sort_; }
    // Drops the sort entries after index and puts the name there.
    void SetSortEntry(int index, const std::string& name);
    int SortMethod() const { return sortMethod_; }
    void SetSortMethod(int method);
    int SearchMethod() const { return searchMethod_; }
    void SetSearchMethod(int method);
    const std::vector<std::string>& Hosts() const { return hosts_; }
    // Drops the hosts after index and puts the name there; no name clears.
    void SetHost(int index, const std::optional<std::string>& name);
    // One filter per available column, in their order.
    const std::vector<ColumnFilter>& Filters() const { return filters_; }
    const ColumnFilter* Filter(const std::string& column) const;
    ColumnFilter* Filter(const std::string& column);

    // OK of the View Options sheet: the sort order in line with the shown
    // columns (shown ones appended, others dropped), columns and sort order
    // stored, the filters of hidden columns off, the sort method, saved.
    // (Taken by value: a caller may hand in this object's own lists.)
    void ApplyOptions(std::vector<std::string> columns, std::vector<std::string> sort,
                      std::vector<ColumnFilter> filters, int sortMethod);
    // OK of the Select Hosts dialog: specified hosts when asked for and
    // there is at least one, else all known hosts; saved.
    void ApplyHosts(bool specified, std::vector<std::string> hosts);

    // The sort order brought in line with the shown columns.
    static std::vector<std::string> AlignedSortOrder(const std::vector<std::string>& columns,
                                                     std::vector<std::string> sort);

  private:
    std::string Section(const std::string& view) const;
    int StoredWidth(const std::string& column) const;

    platform::PrivateProfile& profile_;
    HostNameReader hostName_;
    std::vector<std::string> views_;
    bool hasTempView_ = false;
    std::string tempHost_;
    std::string current_;
    std::optional<int> hostNameError_;

    std::vector<std::string> columns_;
    std::vector<int> widths_;  // stored widths (column 0 without the group box)
    std::vector<std::string> sort_;
    std::vector<ColumnFilter> filters_;
    int sortMethod_ = kAscending;
    int searchMethod_ = kSearchAllKnownHosts;
    std::vector<std::string> hosts_;
};

}  // namespace oru
