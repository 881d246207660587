// What the program tells about a serial device: its stable names, who holds
// it, and why it cannot be opened.

#include "platform/serial_device_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/serial_device.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace morvik::platform {
namespace {

TEST(SerialDeviceReportTest, NamesHoldersAndTheReasonADeviceCannotBeOpened) {
    test::PtyPair pty;
    test::TempDir byId;
    std::filesystem::create_symlink(pty.SlavePath(), byId.File("usb-FTDI_RX57-if00-port0"));
    std::filesystem::create_symlink("/dev/null", byId.File("usb-other"));
    EXPECT_EQ(SerialByIdNames(pty.SlavePath(), byId.Path()),
              std::vector<std::string>{byId.File("usb-FTDI_RX57-if00-port0")});
    EXPECT_TRUE(SerialByIdNames(pty.SlavePath(), byId.File("absent")).empty());

    EXPECT_EQ(SerialAccessProblem(pty.SlavePath()), "");
    SerialDevice holder;
    ASSERT_EQ(holder.Open(pty.SlavePath()), kSerialOk);
    const std::vector<DeviceHolder> holders = ProcessesHolding(pty.SlavePath());
    ASSERT_FALSE(holders.empty());
    EXPECT_EQ(holders[0].pid, ::getpid());
    EXPECT_EQ(SerialAccessProblem(pty.SlavePath()),
              pty.SlavePath() + " is in use by " + holders[0].program + " (PID " + std::to_string(::getpid()) +
                  "): close it there first");
    EXPECT_EQ(SerialAccessProblem("/dev/ttyNoSuchDevice"),
              "there is no serial device /dev/ttyNoSuchDevice: is the adapter plugged in?");
}

}  // namespace
}  // namespace morvik::platform
