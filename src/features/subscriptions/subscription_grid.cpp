#include "features/subscriptions/subscription_grid.h"

namespace morvik::subscriptions {

void SubscriptionGrid::Reset(const std::array<std::string, kColumns>& headers, int rowCount) {
    headers_ = headers;
    rows_.assign(static_cast<std::size_t>(rowCount), Row{});
    if (currentRow_ >= rowCount) currentRow_ = -1;
    reset.Notify();
}

void SubscriptionGrid::SetCell(int row, int column, const std::string& text) {
    std::string& cell = rows_.at(row).at(column);
    if (cell == text) return;
    cell = text;
    cellChanged.Notify(row, column);
}

void SubscriptionGrid::SetCurrentRow(int row) {
    if (row < -1 || row >= RowCount() || row == currentRow_) return;
    currentRow_ = row;
    currentRowChanged.Notify(row);
}

}  // namespace morvik::subscriptions
