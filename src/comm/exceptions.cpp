#include "comm/exceptions.h"

#include <limits>

#include "comm/error_codes.h"
#include "platform/socket_error.h"

namespace morvik::comm {

namespace {

template <typename Exception>
[[noreturn]] void Raise(int code, const std::string& subject) {
    throw Exception(code, WithSubject(ErrorText(code), subject));
}

bool IsSocketError(int magnitude) {
    return (magnitude >= kFirstSocketLayerError && magnitude <= kLastSocketLayerError) ||
           (magnitude >= platform::kFirstSocketError && magnitude <= platform::kLastSocketError);
}

}  // namespace

void RaiseError(int code, const std::string& subject) {
    if (code == std::numeric_limits<int>::min()) throw EPortException(code, WithSubject(kPortExceptionText, subject));
    const int magnitude = code < 0 ? -code : code;
    if (IsSocketError(magnitude)) Raise<ECmSocketException>(magnitude, subject);
    if (magnitude == -kOutOfMemory) Raise<EOutOfMemory>(-magnitude, subject);
    if (magnitude >= 2 && magnitude <= 162) Raise<EInOutError>(-magnitude, subject);
    switch (-magnitude) {
        case kBadId: Raise<EBadId>(kBadId, subject);
        case kDeviceNotOpen: Raise<ECommNotOpen>(kDeviceNotOpen, subject);
        case kAlreadyOpen: Raise<EAlreadyOpen>(kAlreadyOpen, subject);
        case kNoPortSelected: Raise<ENoPortSelected>(kNoPortSelected, subject);
        case kPutBlockFail: Raise<EPutBlockFail>(kPutBlockFail, subject);
        case kOutputBufferTooSmall: Raise<EOutputBufferTooSmall>(kOutputBufferTooSmall, subject);
        case kBufferIsEmpty: Raise<EBufferIsEmpty>(kBufferIsEmpty, subject);
        case kDispatcherAlreadyStarted:
        case kResourceNotAvailable: Raise<EDispatcherError>(-magnitude, subject);
        case kNoMoreTriggers: Raise<ENoMoreTriggers>(kNoMoreTriggers, subject);
        case kBadTriggerHandle:
        case kEmptyTriggerString: Raise<EBadTriggerHandle>(-magnitude, subject);
        case kStartStringEmpty:
        case kPacketSizeBelowStartString:
        case kCharCountNeedsEndCondition:
        case kEndStringEmpty:
        case kPacketSizeZero:
        case kPacketTooLong: Raise<EPacketError>(-magnitude, subject);
        default: throw EPortException(-magnitude, WithSubject(kPortExceptionText, subject));
    }
}

int CheckError(int code) {
    if (code < 0) RaiseError(code);
    return code;
}

}  // namespace morvik::comm
