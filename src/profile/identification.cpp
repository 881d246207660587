#include "profile/identification.h"

#include <array>

namespace morvik::profile {

std::string ConfigTypeText(int configType) {
    static const std::array<const char*, 5> kTexts = {"Replacement FP", "Replacement PP", "Unknown Config",
                                                      "Server FP", ""};
    if (configType < 0 || configType >= static_cast<int>(kTexts.size())) return {};
    return kTexts[static_cast<std::size_t>(configType)];
}

Identification::Identification(link::CommandChannel& channel, link::MainWindowModel& model)
    : channel_(channel), model_(model) {}

void Identification::ReadIdentity() {
    const std::string typeAnswer = channel_.QueryCommand("ATS154?", true);
    configType_ = link::ParseInteger(typeAnswer).value_or(kNoConfigType);
    model_.devicePanel.lbConfigType.Set(ConfigTypeText(configType_));

    // Product first: the order is the window's, not the commands' numbering.
    const std::array<std::pair<const char*, link::Observable<std::string>*>, 4> queries = {{
        {"ATI2", &model_.identity.lbProduct},
        {"ATI0", &model_.identity.lbHardware},
        {"ATI1", &model_.identity.lbFirmware},
        {"ATI3", &model_.identity.lbManufacture},
    }};
    for (const auto& [command, label] : queries) {
        if (channel_.NoAnswer()) return;
        label->Set(channel_.QueryCommand(command, true));
    }
}

void Identification::ClearIdentity() {
    configType_ = kNoConfigType;
    model_.devicePanel.lbConfigType.Set("");
    model_.identity.lbFirmware.Set("");
    model_.identity.lbHardware.Set("");
    model_.identity.lbManufacture.Set("");
    model_.identity.lbProduct.Set("");
    model_.devicePanel.edIPUI.Set("");
    model_.devicePanel.edSN.Set("");
    model_.devicePanel.edComment.Set("");
    model_.identity.lbCurrentSubscript.Set("-");
}

}  // namespace morvik::profile
