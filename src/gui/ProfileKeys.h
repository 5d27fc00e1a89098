// The names under which the graphical manager keeps its settings: sections
// and keys of its profile file, the registry key and values of the window
// placement, the profile names of the columns and of the built-in views.
//
// They are part of the files' format, not texts: a profile written in one
// language reads the same in every other, so none of them comes from the
// catalog. printf formats are marked; each takes the arguments named.
#pragma once

namespace oru::keys {

// Window placement, per user: HKEY_CURRENT_USER\<kRegistryKey>, values REG_DWORD.
inline constexpr const char* kRegistryKey = "Software\\Verdanix\\oru\\Settings";
inline constexpr const char* kWidth = "cx";
inline constexpr const char* kHeight = "cy";
inline constexpr const char* kLeft = "x";
inline constexpr const char* kTop = "y";

// Known hosts: one key per host, whose value is the host name again.
inline constexpr const char* kHostList = "Strovanehostlist";

// Views.
inline constexpr const char* kAllViews = "AllViews";
inline constexpr const char* kViewSettings = "ViewSettings";
inline constexpr const char* kCurrentView = "CurrentView";
inline constexpr const char* kColumnSize = "colsize:%s";    // column name
inline constexpr const char* kViewSectionPrefix = "View:";  // followed by the view name
inline constexpr const char* kColumn = "col%i";             // index
inline constexpr const char* kSort = "sort%i";              // index
inline constexpr const char* kIncludeFilter = "col:%s:includefilter%i";  // column, index
inline constexpr const char* kEnableFilter = "col:%s:enablefilter";      // column
inline constexpr const char* kExcludeFilter = "col:%s:excludefilter%i";  // column, index
inline constexpr const char* kSortMethod = "sortmethod";
inline constexpr const char* kSearchMethod = "searchmethod";
inline constexpr const char* kHostSearch = "hostsearch%i";  // index
// What a missing string reads as.
inline constexpr const char* kMissing = "!@#";

// Profile names of the built-in views.
inline constexpr const char* kLocalHostView = "Local host";
inline constexpr const char* kAllHostsView = "All known hosts";

// Profile names of the columns, in the order of the available columns; the
// ninth ("Host Operating System") is known to the model but never offered.
inline constexpr const char* kColumnNames[] = {
    "Array Serial #", "Array Alias",       "Array Model",
    "Array Status",   "Array Total Space", "Array Unallocated Space",
    "Host Name",      "Host Domain",       "Host Operating System"};
inline constexpr int kAvailableColumns = 8;

// Where the maker's web page is (the Help menu opens it).
inline constexpr const char* kWebPage = "https://www.verdanix.example/strovane/";

}  // namespace oru::keys
