#pragma once
// A pseudo-terminal pair for tests that need a real tty: the code under test
// opens SlavePath() like a serial port; the test plays the far end on the
// master side. The pair keeps its own slave descriptor open, so the tty lives
// (and keeps its settings) as long as the pair, whoever else opens or closes
// it. The slave starts in the kernel's default cooked mode, so a test sees
// whether the code under test switched it to raw. Not thread-safe: use one
// pair from one thread at a time.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace morvik::test {

class PtyPair {
public:
    // Throws std::system_error when no pseudo-terminal can be had.
    PtyPair();

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_.Get(); }
    // The pair's own slave descriptor, e.g. for tcgetattr checks.
    int SlaveFd() const { return slave_.Get(); }

    // Sends bytes to the slave side; false if they could not all be written
    // within timeoutMs.
    bool WriteMaster(std::string_view bytes, int timeoutMs = 5000);
    // Collects what the slave side wrote until count bytes have arrived or
    // timeoutMs has passed; returns what arrived (compare its size).
    std::string ReadMaster(std::size_t count, int timeoutMs = 5000);
    // Takes whatever is waiting right now, without waiting.
    std::string ReadMasterAvailable();

    // Hangs the slave side up, as pulling the cable of a USB adapter would.
    void CloseMaster();

private:
    platform::UniqueFd master_;
    platform::UniqueFd slave_;
    std::string slavePath_;
};

}  // namespace morvik::test
