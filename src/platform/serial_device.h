#pragma once
// One serial device (a tty) opened exclusively in raw, non-blocking mode: the
// thin layer under the serial dispatcher. Every call returns 0 or a count on
// success and a negative result code on failure (see SerialResultFromErrno).
//
// Threads: Open and Close need the object to themselves (no other call in
// progress; stop the threads that use the device before Close). While the
// device is open everything else may run concurrently from different threads:
// those calls only issue system calls on a descriptor that does not change
// until Close. WaitForEvent serves one waiting thread at a time, and so does
// WaitUntilWritable, each with its own wake-up: a reader and a writer wait
// side by side. Wake and WakeWriter may be called from any thread at any
// time, even on a closed device.

#include <cstddef>
#include <optional>
#include <string>

#include <termios.h>

#include "platform/unique_fd.h"

namespace morvik::platform {

// Result codes the port component understands; anything else negative is a
// negated errno whose text is strerror's.
inline constexpr int kSerialOk = 0;
inline constexpr int kSerialNotFound = -2;
inline constexpr int kSerialInUse = -5;  // access denied, or held by another opener

// Maps a failed call's errno to a result code.
int SerialResultFromErrno(int err);

enum class SerialParity { kNone, kOdd, kEven, kMark, kSpace };

struct SerialLine {
    int baud = 19200;
    SerialParity parity = SerialParity::kNone;
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2
    bool operator==(const SerialLine&) const = default;
};

// The modem input lines as the device reports them.
struct ModemLines {
    bool cts = false;
    bool dsr = false;
    bool ri = false;
    bool dcd = false;
};

enum class SerialWaitResult {
    kReadable,  // received bytes are waiting
    kWritable,  // the device takes output again
    kHangup,    // the device has gone (hangup, error, or not open)
    kWoken,     // Wake() was called
    kTimeout,   // the bound passed with nothing to report
};

class SerialDevice {
public:
    SerialDevice();
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the tty at path exclusively, remembers its settings for Close and
    // puts it into raw 8N1 mode without flow control. kSerialInUse if this
    // object is already open.
    int Open(const std::string& path);
    // Discards unsent output, restores the settings found at Open and closes.
    // Harmless on a closed device.
    void Close();
    bool IsOpen() const { return fd_.Valid(); }
    const std::string& Path() const { return path_; }

    // Programs baud rate, parity, data and stop bits. A rate must be one of
    // the standard ones; a setting the device does not take is an error and
    // leaves the previous line in place.
    int SetLine(const SerialLine& line);
    int GetLine(SerialLine& line) const;
    // Accepted and ignored: a tty's queues have a fixed size set by the kernel.
    int SetQueueSizes(int inputSize, int outputSize);

    // Non-blocking: the count transferred (0 when nothing was waiting or no
    // room was free), or a negative result; a hung-up device is an error.
    long Read(void* buffer, std::size_t size);
    long Write(const void* data, std::size_t size);
    // Bytes received and not read / written and not yet sent; or negative.
    int InputCount() const;
    int OutputCount() const;

    // False when the device has no such line (a pseudo-terminal) or the call
    // failed; the caller then keeps its own idea of the line state.
    bool SetDtr(bool on);
    bool SetRts(bool on);
    // Empty when the device has no modem lines.
    std::optional<ModemLines> ReadModemLines() const;

    // Discard received-but-unread or written-but-unsent bytes; never wait.
    int PurgeInput();
    int PurgeOutput();

    // Waits until bytes arrive, the device hangs up, Wake() is called, or
    // timeoutMs passes (negative: no bound). A Wake() that comes while nobody
    // waits is kept for the next call, so a stop request is never lost.
    SerialWaitResult WaitForEvent(int timeoutMs);
    void Wake();
    // The same for a writer: waits until the device has room for output
    // again, hangs up, WakeWriter() is called, or timeoutMs passes.
    SerialWaitResult WaitUntilWritable(int timeoutMs);
    void WakeWriter();

private:
    int SetModemBit(int bit, bool on);
    bool HungUp() const;
    // Polls the device for deviceEvent (reported as ready) beside a wake descriptor.
    SerialWaitResult WaitOn(int wakeFd, short deviceEvent, SerialWaitResult ready, int timeoutMs);

    UniqueFd fd_;
    UniqueFd wakeFd_;        // wakes WaitForEvent
    UniqueFd writerWakeFd_;  // wakes WaitUntilWritable
    int wakeError_ = 0;  // why the wake descriptor could not be made, if so
    std::string path_;
    termios savedSettings_{};
};

}  // namespace morvik::platform
