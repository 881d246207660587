#include <cstring>
#include <limits>
#include <typeindex>
#include <typeinfo>

#include <gtest/gtest.h>

#include "comm/error_codes.h"
#include "comm/exceptions.h"

namespace morvik::comm {
namespace {

TEST(ErrorText, EveryCodeOfTheLayerHasItsOwnText) {
    const std::pair<int, const char*> expected[] = {
        {kBadId, "Specified comport doesn't exist"},
        {kDeviceNotOpen, "device not open"},
        {kAlreadyOpen, "device already open"},
        {kNoPortSelected, "The ComNumber property of the TCmComPort has not been set"},
        {kPutBlockFail, "Failed to put entire block"},
        {kOutputBufferTooSmall, "Output buffer too small for block"},
        {kBufferIsEmpty, "Buffer is empty"},
        {kDispatcherAlreadyStarted, "Dispatcher already started"},
        {kResourceNotAvailable, "Resource not available"},
        {kNoMoreTriggers, "No more trigger slots"},
        {kBadTriggerHandle, "Bad trigger handle"},
        {kStartStringEmpty, "Start string is empty"},
        {kPacketSizeBelowStartString, "Packet size cannot be smaller than start string"},
        {kCharCountNeedsEndCondition, "CharCount packets must have an end-condition"},
        {kEndStringEmpty, "End string is empty"},
        {kPacketSizeZero, "Packet size cannot be zero"},
        {kPacketTooLong, "Packet too long"},
        {kWinsockLoadFailed, "Error loading Winsock DLL"},
        {kWinsockBadVersion, "Incorrect version of Winsock"},
        {kInvalidPort, "Specified port is not valid"},
        {kParameterWhileConnected, "Cannot change parameter while socket is connected"},
        {kCannotResolveAddress, "Cannot resolve destination address"},
        {kOutOfMemory, "Out of memory"},
    };
    for (const auto& [code, text] : expected) {
        EXPECT_EQ(ErrorText(code), text) << code;
        EXPECT_EQ(ErrorText(-code), text) << "looked up by magnitude: " << code;
    }
}

TEST(ErrorText, SocketNumbersTakeTheSocketTexts) {
    EXPECT_EQ(ErrorText(10039), "The destination address is required for this operation");
    EXPECT_EQ(ErrorText(-10061), "The attempt to connect was forcibly refused");
    EXPECT_EQ(ErrorText(10060), "The operation timed out");
    EXPECT_EQ(ErrorText(10065), "The host machine is unreachable");
}

TEST(ErrorText, UnknownCodesTakeTheSystemTextTidied) {
    EXPECT_EQ(ErrorText(-13), std::strerror(13));
    EXPECT_EQ(ErrorText(-2), std::strerror(2));
    EXPECT_EQ(ErrorText(77777), "Unknown error 77777");
    EXPECT_FALSE(ErrorText(std::numeric_limits<int>::min()).empty());
}

TEST(TidyMessage, ControlCharactersBecomeOneBlankAndTheEndsAreTrimmed) {
    EXPECT_EQ(TidyMessage("Access is denied.\r\n"), "Access is denied.");
    EXPECT_EQ(TidyMessage("\tline one\r\n\r\nline  two \x7f"), "line one line two");
    EXPECT_EQ(TidyMessage("   "), "");
    EXPECT_EQ(TidyMessage("caf\xc3\xa9"), "caf\xc3\xa9") << "bytes above 127 are text, not control";
}

// What CheckError raises for a code: its exact class, code and message.
struct Raised {
    std::type_index type = typeid(void);
    int code = 0;
    std::string message;
};

Raised RaiseOf(int code) {
    try {
        CheckError(code);
    } catch (const EPortException& e) {
        return {typeid(e), e.Code(), e.what()};
    }
    ADD_FAILURE() << "no exception for " << code;
    return {};
}

TEST(CheckError, ResultsOfZeroOrMorePassThrough) {
    EXPECT_EQ(CheckError(0), 0);
    EXPECT_EQ(CheckError(4096), 4096);
    EXPECT_EQ(CheckError(10061), 10061) << "positive socket numbers are results, not failures";
}

TEST(CheckError, EachCodeRaisesItsOwnClassWithItsText) {
    const std::pair<int, std::type_index> expected[] = {
        {kBadId, typeid(EBadId)},
        {kDeviceNotOpen, typeid(ECommNotOpen)},
        {kAlreadyOpen, typeid(EAlreadyOpen)},
        {kNoPortSelected, typeid(ENoPortSelected)},
        {kPutBlockFail, typeid(EPutBlockFail)},
        {kOutputBufferTooSmall, typeid(EOutputBufferTooSmall)},
        {kBufferIsEmpty, typeid(EBufferIsEmpty)},
        {kDispatcherAlreadyStarted, typeid(EDispatcherError)},
        {kNoMoreTriggers, typeid(ENoMoreTriggers)},
        {kBadTriggerHandle, typeid(EBadTriggerHandle)},
        {kCharCountNeedsEndCondition, typeid(EPacketError)},
        {kOutOfMemory, typeid(EOutOfMemory)},
    };
    for (const auto& [code, type] : expected) {
        const Raised raised = RaiseOf(code);
        EXPECT_EQ(raised.type, type) << code;
        EXPECT_EQ(raised.code, code);
        EXPECT_EQ(raised.message, ErrorText(code));
    }
}

TEST(CheckError, SystemErrorsUpTo162AreInputOutputErrorsWithTheSystemText) {
    const Raised denied = RaiseOf(-13);
    EXPECT_EQ(denied.type, std::type_index(typeid(EInOutError)));
    EXPECT_EQ(denied.message, std::strerror(13));
    EXPECT_EQ(RaiseOf(-162).type, std::type_index(typeid(EInOutError)));
    EXPECT_THROW(CheckError(kOutOfMemory), EInOutError) << "out of memory is an input/output error too";
}

TEST(CheckError, CodesWithoutAClassRaiseTheGenericPortException) {
    for (int code : {-163, -1, -7000, std::numeric_limits<int>::min()}) {
        const Raised raised = RaiseOf(code);
        EXPECT_EQ(raised.type, std::type_index(typeid(EPortException))) << code;
        EXPECT_EQ(raised.message, "Port exception");
        EXPECT_EQ(raised.code, code);
    }
}

TEST(CheckError, SocketFailuresCarryThePositiveSocketNumber) {
    for (int code : {-10061, -10039, -kParameterWhileConnected, -11001}) {
        const Raised raised = RaiseOf(code);
        EXPECT_EQ(raised.type, std::type_index(typeid(ECmSocketException))) << code;
        EXPECT_EQ(raised.code, -code);
        EXPECT_EQ(raised.message, ErrorText(code));
    }
    EXPECT_THROW(RaiseError(kCannotResolveAddress), ECmSocketException) << "RaiseError takes either sign";
}

}  // namespace
}  // namespace morvik::comm
