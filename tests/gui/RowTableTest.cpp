#include "gui/RowTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using oru::RowTable;

// Columns: host, serial, status; the status column sorts by value.
const std::vector<std::string> kColumns = {"Host Name", "Array Serial #", "Array Status"};

RowTable::Device D(std::uint32_t index, const std::string& host, const std::string& serial,
                   int status) {
    return RowTable::Device{index, {host, serial, "status " + std::to_string(status)}, status};
}

// The serial of each shown row, top to bottom.
std::vector<std::string> Serials(const RowTable& rows) {
    std::vector<std::string> serials;
    for (int row : rows.Order()) {
        serials.push_back(rows.RowAt(row).devices.front().texts[1]);
    }
    return serials;
}

TEST(RowTable, RowsFollowTheSortOrderColumnByColumn) {
    RowTable rows;
    rows.Reset(kColumns, {"Host Name", "Array Serial #", "Array Status"}, false, "Array Status",
               " GB");
    rows.Add(D(0, "beta", "S2", 3));
    rows.Add(D(1, "alpha", "S9", 3));
    rows.Add(D(2, "beta", "S1", 3));
    const RowTable::Placement last = rows.Add(D(3, "alpha", "S0", 7));
    EXPECT_FALSE(last.joined);
    EXPECT_EQ(last.position, 0);
    EXPECT_EQ(Serials(rows), (std::vector<std::string>{"S0", "S9", "S1", "S2"}));

    rows.Reset(kColumns, {"Array Status", "Host Name"}, true, "Array Status", " GB");
    rows.Add(D(0, "beta", "S2", 3));
    rows.Add(D(1, "alpha", "S9", 7));
    rows.Add(D(2, "beta", "S1", 4));
    // Descending: the most severe status first.
    EXPECT_EQ(Serials(rows), (std::vector<std::string>{"S9", "S1", "S2"}));
}

TEST(RowTable, EqualTextsInEverySortedColumnShareOneRow) {
    RowTable rows;
    rows.Reset({"Host Name", "Array Status"}, {"Host Name", "Array Status"}, false, "Array Status",
               " GB");
    rows.Add(RowTable::Device{0, {"alpha", "Normal"}, 3});
    const RowTable::Placement joined = rows.Add(RowTable::Device{1, {"alpha", "Normal"}, 3});
    EXPECT_TRUE(joined.joined);
    rows.Add(RowTable::Device{2, {"alpha", "Warning"}, 4});
    ASSERT_EQ(rows.Order().size(), 2u);
    EXPECT_EQ(rows.RowAt(joined.row).devices.size(), 2u);

    // Taking both arrays out of the shared row empties it.
    auto touched = rows.Remove(0);
    ASSERT_EQ(touched.size(), 1u);
    EXPECT_FALSE(touched[0].second);
    touched = rows.Remove(1);
    EXPECT_TRUE(touched[0].second);
    EXPECT_EQ(rows.Order().size(), 1u);
    EXPECT_TRUE(rows.RowsOf(1).empty());
}

TEST(RowTable, CapacitiesCompareByTheirLengthFirst) {
    EXPECT_LT(RowTable::CompareTexts("9.50 GB", "10.00 GB", " GB"), 0);
    EXPECT_GT(RowTable::CompareTexts("100.00 GB", "99.99 GB", " GB"), 0);
    EXPECT_LT(RowTable::CompareTexts("1.50 GB", "1.75 GB", " GB"), 0);
    // Without the suffix on both, byte order: "<" comes after the digits.
    EXPECT_GT(RowTable::CompareTexts("<unavailable>", "1.00 GB", " GB"), 0);
    EXPECT_GT(RowTable::CompareTexts("9.5", "10.0", " GB"), 0);
}

}  // namespace
