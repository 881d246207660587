#pragma once
// The exceptions the port raises for negative results: one class per kind of
// failure, all derived from EPortException, each carrying its code and the
// code's message text.

#include <stdexcept>
#include <string>

#include "comm/error_codes.h"

namespace morvik::comm {

class EPortException : public std::runtime_error {
public:
    EPortException(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    // A code without a class of its own: the generic text.
    explicit EPortException(int code) : EPortException(code, kPortExceptionText) {}
    int Code() const { return code_; }

private:
    int code_;
};

// -2001
class EBadId : public EPortException { public: using EPortException::EPortException; };
// -2007
class ECommNotOpen : public EPortException { public: using EPortException::EPortException; };
// -2008
class EAlreadyOpen : public EPortException { public: using EPortException::EPortException; };
// -2011
class ENoPortSelected : public EPortException { public: using EPortException::EPortException; };
// -3004
class EPutBlockFail : public EPortException { public: using EPortException::EPortException; };
// -3006
class EOutputBufferTooSmall : public EPortException { public: using EPortException::EPortException; };
// -3007
class EBufferIsEmpty : public EPortException { public: using EPortException::EPortException; };
// -4001, -4002
class EDispatcherError : public EPortException { public: using EPortException::EPortException; };
// -5001
class ENoMoreTriggers : public EPortException { public: using EPortException::EPortException; };
// -5003, -5004
class EBadTriggerHandle : public EPortException { public: using EPortException::EPortException; };
// -5501..-5506
class EPacketError : public EPortException { public: using EPortException::EPortException; };
// Socket failures carry the positive socket error number (10004..11004, 9002..9007).
class ECmSocketException : public EPortException { public: using EPortException::EPortException; };
// Operating-system errors -2..-162 with the system's text; -8 is EOutOfMemory.
class EInOutError : public EPortException { public: using EPortException::EPortException; };
class EOutOfMemory : public EInOutError { public: using EInOutError::EInOutError; };

// Throws the exception that belongs to code (its sign does not matter). A
// subject (a device path, a host name) follows the code's text, see WithSubject.
[[noreturn]] void RaiseError(int code, const std::string& subject = {});

// Error conversion: results of 0 or more pass through, negative ones raise.
int CheckError(int code);

}  // namespace morvik::comm
