#include "features/portdir/port_directory.h"

#include <utility>

namespace morvik::portdir {

namespace {

PortEntry DefaultEntry() { return PortEntry{"Com1", "", ""}; }

}  // namespace

PortDirectory::PortDirectory(std::string currentPortText, std::string folder)
    : folder_(std::move(folder)) {
    PortDirectoryContents contents = ReadPortDirectory(folder_);
    rows_ = std::move(contents.entries);
    loadError_ = std::move(contents.error);
    loadWarning_ = std::move(contents.warning);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].address == currentPortText) selected_ = static_cast<int>(row);
    }
}

void PortDirectory::Select(int row) {
    if (row >= 0 && row < static_cast<int>(rows_.size())) selected_ = row;
}

PortEntry PortDirectory::miNewClick() {
    rows_.push_back(PortEntry{});
    selected_ = static_cast<int>(rows_.size()) - 1;
    mode_ = EditMode::kNew;
    return PortEntry{};
}

PortEntry PortDirectory::miEditClick() {
    mode_ = EditMode::kEdit;
    return Selected();
}

void PortDirectory::miClearClick() {
    if (rows_.size() == 1) {
        rows_[0] = DefaultEntry();
        return;
    }
    rows_.erase(rows_.begin() + selected_);
    if (selected_ >= static_cast<int>(rows_.size())) selected_ = static_cast<int>(rows_.size()) - 1;
}

bool PortDirectory::FormCloseQuery(const PortEntry& typedFields) {
    if (mode_ == EditMode::kList) return true;
    rows_[selected_] = typedFields;
    mode_ = EditMode::kList;
    return false;
}

std::string PortDirectory::FormClose() const {
    // A file that exists but could not be read is not overwritten with the
    // fallback entry: the user's directory would be lost.
    if (!loadError_.empty()) return loadError_;
    return WritePortDirectory(folder_, rows_);
}

}  // namespace morvik::portdir
