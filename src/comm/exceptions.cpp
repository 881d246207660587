#include "comm/exceptions.h"

#include <limits>

#include "comm/error_codes.h"

namespace morvik::comm {

namespace {

template <typename Exception>
[[noreturn]] void Raise(int code) {
    throw Exception(code, ErrorText(code));
}

bool IsSocketError(int magnitude) {
    return (magnitude >= 9002 && magnitude <= 9007) || (magnitude >= 10004 && magnitude <= 11004);
}

}  // namespace

void RaiseError(int code) {
    if (code == std::numeric_limits<int>::min()) throw EPortException(code);
    const int magnitude = code < 0 ? -code : code;
    if (IsSocketError(magnitude)) Raise<ECmSocketException>(magnitude);
    if (magnitude == -kOutOfMemory) Raise<EOutOfMemory>(-magnitude);
    if (magnitude >= 2 && magnitude <= 162) Raise<EInOutError>(-magnitude);
    switch (-magnitude) {
        case kBadId: Raise<EBadId>(kBadId);
        case kDeviceNotOpen: Raise<ECommNotOpen>(kDeviceNotOpen);
        case kAlreadyOpen: Raise<EAlreadyOpen>(kAlreadyOpen);
        case kNoPortSelected: Raise<ENoPortSelected>(kNoPortSelected);
        case kPutBlockFail: Raise<EPutBlockFail>(kPutBlockFail);
        case kOutputBufferTooSmall: Raise<EOutputBufferTooSmall>(kOutputBufferTooSmall);
        case kBufferIsEmpty: Raise<EBufferIsEmpty>(kBufferIsEmpty);
        case kDispatcherAlreadyStarted:
        case kResourceNotAvailable: Raise<EDispatcherError>(-magnitude);
        case kNoMoreTriggers: Raise<ENoMoreTriggers>(kNoMoreTriggers);
        case kBadTriggerHandle:
        case kEmptyTriggerString: Raise<EBadTriggerHandle>(-magnitude);
        case kStartStringEmpty:
        case kPacketSizeBelowStartString:
        case kCharCountNeedsEndCondition:
        case kEndStringEmpty:
        case kPacketSizeZero:
        case kPacketTooLong: Raise<EPacketError>(-magnitude);
        default: throw EPortException(-magnitude);
    }
}

int CheckError(int code) {
    if (code < 0) RaiseError(code);
    return code;
}

}  // namespace morvik::comm
