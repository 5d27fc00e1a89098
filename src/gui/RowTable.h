// The array list's row index table and its order, apart from any widget.
//
// Each row stands for one or more devices (global device indices) whose
// texts are equal in every sorted column; a new device joins such a row or
// gets a row of its own at its sorted position. Rows are numbered in the
// order they were made (the list's items carry that number); Order() gives
// the numbers of the rows still shown, top to bottom.
//
// Comparison, column by column in sort order: the status column by status
// value (a smaller value first when ascending); texts that both end with the
// gigabyte suffix by length, then as text; any other texts as byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oru {

class RowTable {
  public:
    struct Device {
        std::uint32_t index = 0;
        std::vector<std::string> texts;  // one per shown column
        int statusValue = 10;
    };
    struct Row {
        std::vector<Device> devices;  // the first one's texts are shown
    };
    struct Placement {
        bool joined = false;  // added to an existing row
        int row = -1;         // the row's number
        int position = -1;    // its place in Order()
    };

    // columns: the shown columns (profile names); sortOrder: names among
    // them; statusColumn: the name compared by status value; gbSuffix: the
    // end of a capacity text (" GB").
    void Reset(const std::vector<std::string>& columns, const std::vector<std::string>& sortOrder,
               bool descending, const std::string& statusColumn, const std::string& gbSuffix);

    Placement Add(Device device);
    // Takes the device out of every row holding it. For each such row: its
    // number and whether it is now empty (and no longer in Order()).
    std::vector<std::pair<int, bool>> Remove(std::uint32_t index);

    const std::vector<int>& Order() const { return order_; }
    const Row& RowAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    int RowNumbers() const { return static_cast<int>(rows_.size()); }
    int PositionOf(int row) const;
    // The rows holding the device (shown rows only).
    std::vector<int> RowsOf(std::uint32_t index) const;

    // Compares two texts of one (non-status) column.
    static int CompareTexts(const std::string& a, const std::string& b,
                            const std::string& gbSuffix);

  private:
    int Compare(const Device& device, const Row& row) const;

    std::vector<int> sortColumns_;  // positions in the shown columns
    int statusColumn_ = -1;
    bool descending_ = false;
    std::string gbSuffix_;
    std::vector<Row> rows_;
    std::vector<int> order_;
};

}  // namespace oru
