#include "module_harness.h"

#include <gtest/gtest.h>

namespace morvik::sim::test {

using Lines = std::vector<std::string>;

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find("\r\n");
        if (end == std::string_view::npos) {
            lines.emplace_back(bytes);  // an unterminated rest shows up too, so tests notice it
            break;
        }
        if (end > 0) lines.emplace_back(bytes.substr(0, end));
        bytes.remove_prefix(end + 2);
    }
    return lines;
}

ModuleHarness::ModuleHarness(ModuleConfig config) : module(loop, std::move(config)) {
    module.SetOutput([this](std::string_view bytes) { writes.emplace_back(bytes); });
    module.SetDropHandler([this] { ++drops; });
}

std::string ModuleHarness::TakeOutput() {
    std::string joined;
    for (; taken_ < writes.size(); ++taken_) joined += writes[taken_];
    return joined;
}

void ModuleHarness::StartInCommandMode(bool echo) {
    module.Reset();
    Advance(module.Config().restartDelayMs + 1000);
    Send("+++");
    Advance(1000);
    ASSERT_EQ(SplitLines(TakeOutput()), (std::vector<std::string>{module.Config().announcement, "OK"}));
    ASSERT_EQ(module.CurrentMode(), Rx57Module::Mode::kCommand);
    if (!echo) {
        Send("ATE0\r");
        Advance(1000);
        TakeOutput();
    }
}

std::vector<std::string> ModuleHarness::Command(std::string_view line, std::int64_t waitMs) {
    TakeOutput();
    Send(std::string(line) + "\r");
    Advance(waitMs);
    Lines lines = SplitLines(TakeOutput());
    // The echo, when on, is a line of its own that ends in CR: drop it as a program does.
    if (!lines.empty() && lines.front() == std::string(line) + "\r") lines.erase(lines.begin());
    return lines;
}

std::string ModuleHarness::Answer(std::string_view line) {
    const auto lines = Command(line);
    EXPECT_EQ(lines.size(), 1u) << line;
    return lines.empty() ? std::string() : lines.front();
}

}  // namespace morvik::sim::test
