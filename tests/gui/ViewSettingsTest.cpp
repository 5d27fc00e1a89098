// The view settings against a profile file on disk, read back as text.
#include "gui/CViewSettings.h"

#include <gtest/gtest.h>

#include "platform/PrivateProfile.h"
#include "support/FreshRoot.h"

namespace {

using oru::ColumnFilter;
using oru::CViewSettings;
using Names = std::vector<std::string>;

class ViewSettingsTest : public ::testing::Test {
  protected:
    CViewSettings Settings() {
        return CViewSettings(profile_, [](std::string* name, int*) {
            *name = "thishost";
            return true;
        });
    }

    testsupport::FreshRoot root_;
    platform::PrivateProfile profile_{root_.File("etc/oru.ini")};
};

TEST_F(ViewSettingsTest, AViewWithoutColumnsShowsHostSerialAndStatus) {
    root_.Write("etc/oru.ini", "[AllViews]\nMine=Mine\n[View:Mine]\nsort0=Array Alias\n");
    CViewSettings settings = Settings();
    settings.LoadViews();
    settings.SelectView("Mine");
    EXPECT_EQ(settings.Columns(), (Names{"Host Name", "Array Serial #", "Array Status"}));
    EXPECT_EQ(settings.SortOrder(), (Names{"Host Name", "Array Serial #", "Array Status"}));
    EXPECT_EQ(settings.ColumnWidth(0), 130 + 14);
    EXPECT_EQ(settings.ColumnWidth(1), 130);
    EXPECT_EQ(settings.ColumnWidth(7), 130);
}

TEST_F(ViewSettingsTest, RepeatedAndUnknownColumnsAreShownOnceOrNotAtAll) {
    root_.Write("etc/oru.ini",
                "[AllViews]\nMine=Mine\n"
                "[View:Mine]\ncol0=Array Alias\ncol1=Array Alias\ncol2=Garbage\ncol3=Host Name\n"
                "sort0=Host Name\nsort1=Host Name\n");
    CViewSettings settings = Settings();
    settings.LoadViews();
    settings.SelectView("Mine");
    EXPECT_EQ(settings.Columns(), (Names{"Array Alias", "Host Name"}));
    EXPECT_EQ(settings.SortOrder(), (Names{"Host Name", "Array Alias"}));
}

TEST_F(ViewSettingsTest, AViewRoundTripsThroughTheProfile) {
    CViewSettings settings = Settings();
    settings.LoadViews();
    ASSERT_TRUE(settings.CreateView("Disks"));
    EXPECT_EQ(settings.CurrentView(), "Disks");
    std::vector<ColumnFilter> filters = settings.Filters();
    filters[3].enabled = true;
    filters[3].include = {"Warn*", "*Error*"};
    filters[3].exclude = {"*Battery*"};
    filters[0].enabled = true;  // a column that is not shown: turned off
    filters[0].include = {"QX*"};
    settings.ApplyOptions({"Array Status", "Array Alias"}, {"Array Alias"}, filters,
                          CViewSettings::kDescending);
    settings.ApplyHosts(true, {"hostA", "hostB"});

    EXPECT_EQ(root_.Read("etc/oru.ini"),
              "[ViewSettings]\n"
              "CurrentView=Disks\n"
              "\n"
              "[AllViews]\n"
              "Disks=Disks\n"
              "\n"
              "[View:Disks]\n"
              "col0=Array Status\n"
              "col1=Array Alias\n"
              "sort0=Array Alias\n"
              "sort1=Array Status\n"
              "col:Array Serial #:enablefilter=0\n"
              "col:Array Serial #:includefilter0=QX*\n"
              "col:Array Alias:enablefilter=0\n"
              "col:Array Model:enablefilter=0\n"
              "col:Array Status:enablefilter=1\n"
              "col:Array Status:includefilter0=Warn*\n"
              "col:Array Status:includefilter1=*Error*\n"
              "col:Array Status:excludefilter0=*Battery*\n"
              "col:Array Total Space:enablefilter=0\n"
              "col:Array Unallocated Space:enablefilter=0\n"
              "col:Host Name:enablefilter=0\n"
              "col:Host Domain:enablefilter=0\n"
              "sortmethod=1\n"
              "searchmethod=1\n"
              "hostsearch0=hostA\n"
              "hostsearch1=hostB\n");

    CViewSettings again = Settings();
    again.LoadViews();
    EXPECT_EQ(again.CurrentView(), "Disks");
    EXPECT_EQ(again.Columns(), (Names{"Array Status", "Array Alias"}));
    EXPECT_EQ(again.SortOrder(), (Names{"Array Alias", "Array Status"}));
    EXPECT_EQ(again.SortMethod(), CViewSettings::kDescending);
    EXPECT_EQ(again.SearchMethod(), CViewSettings::kSearchSpecifiedHosts);
    EXPECT_EQ(again.Hosts(), (Names{"hostA", "hostB"}));
    const ColumnFilter* status = again.Filter("Array Status");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->enabled);
    EXPECT_EQ(status->include, (Names{"Warn*", "*Error*"}));
    EXPECT_EQ(status->exclude, (Names{"*Battery*"}));
    EXPECT_FALSE(again.Filter("Array Serial #")->enabled);
    EXPECT_EQ(again.Filter("Array Serial #")->include, (Names{"QX*"}));
}

TEST_F(ViewSettingsTest, FiltersKeepRowsThatMatchAnIncludeAndNoExclude) {
    ColumnFilter filter{"Array Status", {"Warn*", "*Error*"}, {"*Battery*"}, true};
    EXPECT_TRUE(filter.Keeps("Warning: Rebuilding"));
    EXPECT_TRUE(filter.Keeps("Critical Error: No Map"));
    EXPECT_FALSE(filter.Keeps("Normal"));
    EXPECT_FALSE(filter.Keeps("Warning: Battery Low"));
    filter.include.clear();
    EXPECT_TRUE(filter.Keeps("Normal"));
    EXPECT_FALSE(filter.Keeps("Warning: Battery Low"));
    filter.enabled = false;
    EXPECT_TRUE(filter.Keeps("Warning: Battery Low"));
}

TEST_F(ViewSettingsTest, AShorterHostListEndsWhereItShould) {
    CViewSettings settings = Settings();
    settings.LoadViews();
    ASSERT_TRUE(settings.CreateView("Five"));
    settings.ApplyHosts(true, {"h1", "h2", "h3", "h4", "h5"});
    settings.ApplyHosts(true, {"h1", "h2", "h3"});
    const platform::ProfileData data = profile_.Snapshot();
    EXPECT_EQ(data.Get("View:Five", "hostsearch2"), "h3");
    EXPECT_FALSE(data.Get("View:Five", "hostsearch3").has_value());
    EXPECT_FALSE(data.Get("View:Five", "hostsearch4").has_value());
    // No hosts chosen: all known hosts.
    settings.ApplyHosts(true, {});
    EXPECT_EQ(settings.SearchMethod(), CViewSettings::kSearchAllKnownHosts);
}

TEST_F(ViewSettingsTest, ColumnWidthsAreSharedAndAtLeastFivePixels) {
    CViewSettings settings = Settings();
    settings.LoadViews();
    settings.SetColumnWidth(0, 10);  // 10 - 14 is below 1
    EXPECT_EQ(profile_.ReadInt("ViewSettings", "colsize:Host Name", 0), 5);
    EXPECT_EQ(settings.ColumnWidth(0), 5 + 14);
    settings.SetColumnWidth(1, 200);
    EXPECT_EQ(profile_.ReadInt("ViewSettings", "colsize:Array Serial #", 0), 200);
    // A damaged width reads as the default.
    profile_.WriteString("ViewSettings", "colsize:Array Status", "wide");
    settings.SelectView("All known hosts");
    EXPECT_EQ(settings.ColumnWidth(1), 200);
    EXPECT_EQ(settings.ColumnWidth(2), 130);
}

TEST_F(ViewSettingsTest, DeletingAUserViewRemovesItsKeyAndSectionButProtectedViewsStay) {
    CViewSettings settings = Settings();
    settings.LoadViews();
    ASSERT_TRUE(settings.CreateView("Gone"));
    settings.ApplyHosts(true, {"h1"});
    ASSERT_TRUE(settings.DeleteCurrentView());
    const platform::ProfileData data = profile_.Snapshot();
    EXPECT_FALSE(data.Get("AllViews", "Gone").has_value());
    EXPECT_FALSE(data.Keys("View:Gone").has_value());
    EXPECT_EQ(settings.ViewNames(), (Names{"Local host", "All known hosts"}));

    settings.SelectView("Local host");
    EXPECT_FALSE(settings.DeleteCurrentView());
    settings.SelectView("All known hosts");
    EXPECT_FALSE(settings.DeleteCurrentView());
}

TEST_F(ViewSettingsTest, NewNamesMustBeFreeIgnoringCaseAndFitTheProfile) {
    CViewSettings settings = Settings();
    settings.LoadViews();
    ASSERT_TRUE(settings.CreateView("Disks"));
    using Check = CViewSettings::NameCheck;
    EXPECT_EQ(settings.CheckNewName("disks"), Check::kExists);
    EXPECT_EQ(settings.CheckNewName("LOCAL HOST"), Check::kExists);
    EXPECT_EQ(settings.CheckNewName(""), Check::kInvalid);
    EXPECT_EQ(settings.CheckNewName("   "), Check::kInvalid);
    EXPECT_EQ(settings.CheckNewName("a=b"), Check::kInvalid);
    EXPECT_EQ(settings.CheckNewName("[x]"), Check::kInvalid);
    EXPECT_EQ(settings.CheckNewName("x]"), Check::kInvalid);
    EXPECT_EQ(settings.CheckNewName(";comment"), Check::kInvalid);
    EXPECT_EQ(settings.CheckNewName("Tapes and disks"), Check::kOk);
    EXPECT_FALSE(settings.CreateView("DISKS"));
    EXPECT_EQ(settings.ViewNames().size(), 3u);
}

TEST_F(ViewSettingsTest, TheBuiltInViewsSearchTheirOwnHosts) {
    int calls = 0;
    CViewSettings settings(profile_, [&calls](std::string*, int* error) {
        ++calls;
        *error = 11;
        return false;
    });
    settings.LoadViews();
    EXPECT_EQ(settings.CurrentView(), "Local host");
    EXPECT_EQ(settings.SearchMethod(), CViewSettings::kSearchSpecifiedHosts);
    // The host name could not be read: "Local host" stands for it.
    EXPECT_EQ(settings.Hosts(), (Names{"Local host"}));
    EXPECT_EQ(settings.TakeHostNameError(), 11);
    EXPECT_FALSE(settings.TakeHostNameError().has_value());

    settings.SelectView("All known hosts");
    EXPECT_EQ(settings.SearchMethod(), CViewSettings::kSearchAllKnownHosts);
    EXPECT_EQ(profile_.ReadString("ViewSettings", "CurrentView", ""), "All known hosts");
    settings.SelectView("No such view");
    EXPECT_EQ(settings.CurrentView(), "Local host");
}

TEST_F(ViewSettingsTest, TheTemporaryViewIsProtectedAndNeverWritten) {
    CViewSettings settings = Settings();
    settings.LoadViews();
    settings.SelectView("All known hosts");
    settings.AddTempView("farhost");
    EXPECT_EQ(settings.CurrentView(), CViewSettings::TempViewName());
    EXPECT_TRUE(settings.IsProtected(settings.CurrentView()));
    EXPECT_EQ(settings.Hosts(), (Names{"farhost"}));
    EXPECT_EQ(settings.DisplayName(settings.CurrentView()), "<Temp View>");
    EXPECT_EQ(settings.ViewNames()[2], CViewSettings::TempViewName());
    settings.SaveView();
    EXPECT_EQ(profile_.ReadString("ViewSettings", "CurrentView", ""), "All known hosts");
    EXPECT_FALSE(profile_.Snapshot().Keys("View:<Temp View>").has_value());
}

TEST_F(ViewSettingsTest, DamagedValuesReadAsTheirDefaults) {
    root_.Write("etc/oru.ini",
                "[ViewSettings]\nCurrentView=Mine\n"
                "[AllViews]\nMine=Mine\nmine=mine\n"
                "[View:Mine]\nsortmethod=banana\nsearchmethod=7\n"
                "col:Array Status:enablefilter=yes\n");
    CViewSettings settings = Settings();
    settings.LoadViews();
    EXPECT_EQ(settings.CurrentView(), "Mine");
    EXPECT_EQ(settings.ViewNames(), (Names{"Local host", "All known hosts", "Mine"}));
    EXPECT_EQ(settings.SortMethod(), CViewSettings::kAscending);
    EXPECT_EQ(settings.SearchMethod(), CViewSettings::kSearchAllKnownHosts);
    EXPECT_FALSE(settings.Filter("Array Status")->enabled);
}

}  // namespace
