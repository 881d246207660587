#pragma once
// The subscription grid's content: a header text per column and one row of
// five text cells per slot (row 0 shows slot 0). Column 0 holds the row
// number, 1 the dotted identity, 2 the serial number, 3 the comment; the
// fifth column is never shown. The widget renders it and reports the row the
// user has made current.

#include <array>
#include <string>
#include <vector>

#include "channel/listeners.h"

namespace morvik::subscriptions {

// The identity of an empty slot, wherever slots are shown, stored or exported.
inline constexpr const char* kEmptyIdentity = "0.0.0.0.0";

enum GridColumn : int { kNumberColumn = 0, kIdentityColumn = 1, kSerialColumn = 2, kCommentColumn = 3, kHiddenColumn = 4 };

class SubscriptionGrid {
public:
    static constexpr int kColumns = 5;
    using Row = std::array<std::string, kColumns>;

    const std::string& Header(int column) const { return headers_.at(column); }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    const std::string& Cell(int row, int column) const { return rows_.at(row).at(column); }

    // New headers and row count, every cell empty: the views show it anew.
    void Reset(const std::array<std::string, kColumns>& headers, int rowCount);
    void SetCell(int row, int column, const std::string& text);

    // The row the user has made current (a slot), -1 when none.
    int CurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row);

    channel::Listeners<> reset;
    channel::Listeners<int, int> cellChanged;  // row, column
    channel::Listeners<int> currentRowChanged;

private:
    std::array<std::string, kColumns> headers_;
    std::vector<Row> rows_;
    int currentRow_ = -1;
};

}  // namespace morvik::subscriptions
