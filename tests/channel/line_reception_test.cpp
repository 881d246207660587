#include "channel/line_reception.h"

#include <gtest/gtest.h>

namespace morvik::channel {
namespace {

TEST(DispatchableLine, EmptyDeliveriesAreIgnored) {
    EXPECT_EQ(DispatchableLine("", ""), std::nullopt);
    EXPECT_EQ(DispatchableLine("", "AT"), std::nullopt);
}

TEST(DispatchableLine, ACrLfAfterTheSecondCharacterCutsTheTextBeforeIt) {
    EXPECT_EQ(DispatchableLine("xy\r\nOK", ""), "OK");
    EXPECT_EQ(DispatchableLine("noise\r\nOK", ""), "OK");
    // Only the first CR LF cuts; what follows keeps its own and is not dispatched.
    EXPECT_EQ(DispatchableLine("ab\r\ncd\r\nef", ""), std::nullopt);
    // Nothing left after the cut is as empty as an empty delivery.
    EXPECT_EQ(DispatchableLine("xyz\r\n", ""), std::nullopt);
}

TEST(DispatchableLine, ACrLfAtTheStartStaysAndKeepsTheLineFromDispatch) {
    EXPECT_EQ(DispatchableLine("\r\nOK", ""), std::nullopt);
    EXPECT_EQ(DispatchableLine("x\r\nOK", ""), std::nullopt);
}

TEST(DispatchableLine, LinesWithControlCharactersAreNotDispatched) {
    EXPECT_EQ(DispatchableLine("O\tK", ""), std::nullopt);
    EXPECT_EQ(DispatchableLine(std::string("OK\0", 3), ""), std::nullopt);
    EXPECT_EQ(DispatchableLine("\x1f", ""), std::nullopt);
    // 0x20 and everything above, 8-bit characters included, is text.
    EXPECT_EQ(DispatchableLine(" \xe4\x7f", ""), " \xe4\x7f");
}

TEST(DispatchableLine, ALineHoldingTheEchoTextIsDropped) {
    EXPECT_EQ(DispatchableLine("ATI0", "ATI0"), std::nullopt);
    EXPECT_EQ(DispatchableLine("xATI0y", "ATI0"), std::nullopt);
    // After the probe "AT", every line containing "AT" goes, even a real answer.
    EXPECT_EQ(DispatchableLine("DATA", "AT"), std::nullopt);
    EXPECT_EQ(DispatchableLine("OK", "AT"), "OK");
    // Case matters; an empty echo text drops nothing.
    EXPECT_EQ(DispatchableLine("ati0", "ATI0"), "ati0");
    EXPECT_EQ(DispatchableLine("ATI0", ""), "ATI0");
    // After "+++" the echo text is "++".
    EXPECT_EQ(DispatchableLine("+++", "++"), std::nullopt);
    // The echo test comes after the cut.
    EXPECT_EQ(DispatchableLine("ATI0\r\nOK", "ATI0"), "OK");
}

}  // namespace
}  // namespace morvik::channel
