#include "features/profile/profile_list.h"

namespace morvik::profile {

const std::array<ProfileRow, kProfileRows> kProfileTable = {{
    {"Current Profile", nullptr},
    {"Basic Config", nullptr},
    {"S0", nullptr},
    {"S2/Escape Char", "ATS2="},
    {"S3/Line Termination", "ATS3="},
    {"S4/Format Char", "ATS4="},
    {"S5/Editing Line Char", "ATS5="},
    {"S7", nullptr},
    {"S10", nullptr},
    {"S12/Escape Time", "ATS12="},
    {"S153/Low Duty Cycle", "ATS153="},
    {"S155/Antenne", "ATS155="},
    {"S158/Idle Timeout", "ATS158="},
    {"S159/Packet Timeout", "ATS159="},
    {"S160", nullptr},
    {"S161", nullptr},
    {"S163", nullptr},
    {"S164", nullptr},
    {"S170", nullptr},
    {"S171", nullptr},
    {"S172", nullptr},
    {"S173", nullptr},
    {"S174/No of Bearer", "ATS174="},
    {"S177", nullptr},
    {"Echo", "ATE"},
    {"Suppression", "ATQ"},
    {"Flow Ctrl", "AT\\Q"},
    {"Baudrate", nullptr},
    {"Result Format", "ATV"},
    {"DCD", "AT&C"},
    {"DTR", "AT&D"},
}};

int ProfileRowOfKey(std::string_view key) {
    for (int row = 0; row < kProfileRows; ++row) {
        if (key == kProfileTable[row].key) return row;
    }
    return -1;
}

void ProfileList::SetValue(int row, const std::string& value) {
    std::string& stored = values_.at(row);
    if (stored == value) return;
    stored = value;
    valueChanged.Notify(row);
}

void ProfileList::EditValue(int row, const std::string& value) {
    if (!editable_ || values_.at(row) == value) return;
    SetValue(row, value);
    if (!parsing_ && validate_) validate_();
}

void ProfileList::SetEditable(bool on) {
    if (editable_ == on) return;
    editable_ = on;
    editableChanged.Notify(on);
}

}  // namespace morvik::profile
