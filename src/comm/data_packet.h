#pragma once
// TCmDataPacket: one kind of packet cut out of a port's received byte stream
// by a start condition (a start string, or any data) and end conditions (an
// end string, a size), handed to the application by OnPacket and
// OnStringPacket. The packet's manager (one per port) owns the received bytes
// and feeds them to its packets; see data_packet_manager.h.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "comm/enum_set.h"
#include "comm/match_string.h"

namespace morvik::comm {

class TCmCustomComPort;
class TCmDataPacketManager;
class PacketBuffer;

enum TPacketStartCond { scString, scAnyData };
enum TPacketEndCond { ecString, ecPacketSize };

using TPacketEndConds = EnumSet<TPacketEndCond>;

class TCmDataPacket {
public:
    using TPacketEvent = std::function<void(TCmDataPacket& sender, const std::uint8_t* data, std::size_t size)>;
    using TStringPacketEvent = std::function<void(TCmDataPacket& sender, const std::string& data)>;
    using TPacketNotifyEvent = std::function<void(TCmDataPacket& sender)>;

    // 2184 ticks of 55 ms: 120.12 s.
    static constexpr int kDefaultTimeOut = 2184;

    TCmDataPacket() = default;
    ~TCmDataPacket();
    TCmDataPacket(const TCmDataPacket&) = delete;
    TCmDataPacket& operator=(const TCmDataPacket&) = delete;

    // Switching on while the port is open checks the configuration and raises
    // EPacketError (-5501..-5505) when it cannot work; the packet then stays off.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);

    // Enable again after each delivered packet.
    bool AutoEnable() const { return autoEnable_; }
    void SetAutoEnable(bool on) { autoEnable_ = on; }

    TPacketStartCond StartCond() const { return startCond_; }
    void SetStartCond(TPacketStartCond cond) { startCond_ = cond; }
    // Changing the end conditions or the end string switches the packet off
    // and on again around the change.
    TPacketEndConds EndCond() const { return endCond_; }
    void SetEndCond(TPacketEndConds conds);

    // Match strings: '\' makes the next character literal, '?' matches any byte.
    const std::string& StartString() const { return startString_; }
    void SetStartString(const std::string& text);
    const std::string& EndString() const { return endString_; }
    void SetEndString(const std::string& text);
    bool IgnoreCase() const { return ignoreCase_; }
    void SetIgnoreCase(bool on);

    // The packet joins the manager of this port (made on first use) and
    // leaves its old one. Null detaches it.
    TCmCustomComPort* ComPort() const;
    void SetComPort(TCmCustomComPort* port);

    int PacketSize() const { return packetSize_; }
    void SetPacketSize(int size) { packetSize_ = size; }
    // Whether delivered data keep the start and end strings.
    bool IncludeStrings() const { return includeStrings_; }
    void SetIncludeStrings(bool on) { includeStrings_ = on; }
    // Ticks of 55 ms from entering collecting to the time-out; 0: none.
    int TimeOut() const { return timeOut_; }
    void SetTimeOut(int ticks) { timeOut_ = ticks; }
    // Length-byte framing: the second byte of a packet gives its size less 2;
    // with DectInit the first packet is 20 bytes long.
    bool DectMode() const { return dectMode_; }
    void SetDectMode(bool on) { dectMode_ = on; }
    bool DectInit() const { return dectInit_; }
    void SetDectInit(bool on) { dectInit_ = on; }
    // After a time-out, collect again at once instead of staying off.
    bool RestartAfterTimeout() const { return restartAfterTimeout_; }
    void SetRestartAfterTimeout(bool on) { restartAfterTimeout_ = on; }

    TPacketEvent OnPacket;
    TStringPacketEvent OnStringPacket;
    TPacketNotifyEvent OnTimeout;

    TCmDataPacketManager* Manager() const { return manager_; }

private:
    friend class TCmDataPacketManager;

    enum class State { kIdle, kWaitingForStart, kWaitingForLock, kCollecting };
    enum class ScanResult { kExhausted, kCompleted, kBlocked };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Raises the configuration error that stops this packet from working.
    void CheckConfiguration() const;
    void PrepareStrings();
    // Back to the starting point of matching; the manager decides the state.
    void ResetMatch();
    // Examines buffer[from..] byte by byte until it is exhausted, the packet
    // completes (lastByte_ set), or it must wait for the collecting lock.
    ScanResult Scan(const PacketBuffer& buffer, std::size_t from);
    ScanResult ScanForStart(const std::uint8_t* data, std::size_t& pos, std::size_t end);
    ScanResult Collect(const std::uint8_t* data, std::size_t& pos, std::size_t end);
    // After a mismatch, finds the earliest later start inside the partial
    // match whose bytes (through pos) still begin the pattern.
    static void RetryPartialMatch(const MatchString& pattern, const std::uint8_t* data, std::size_t pos,
                                  std::size_t& anchor, std::size_t& matched);
    void CompleteAt(std::size_t pos, bool byEndString);
    // The delivered part of a completed packet, as offsets in the buffer.
    std::size_t PayloadStart() const;
    std::size_t PayloadSize() const;

    // Properties.
    bool enabled_ = false;
    bool autoEnable_ = true;
    TPacketStartCond startCond_ = scString;
    TPacketEndConds endCond_;
    std::string startString_;
    std::string endString_;
    bool ignoreCase_ = true;
    int packetSize_ = 0;
    bool includeStrings_ = true;
    int timeOut_ = kDefaultTimeOut;
    bool dectMode_ = false;
    bool dectInit_ = false;
    bool restartAfterTimeout_ = false;

    // Matching state.
    TCmDataPacketManager* manager_ = nullptr;
    State state_ = State::kIdle;
    std::size_t begin_ = kNone;       // first byte of the packet
    std::size_t startMatched_ = 0;    // start-string characters matched
    std::size_t endMatched_ = 0;      // end-string characters matched
    std::size_t endAnchor_ = kNone;   // first byte of the partial end match
    std::int64_t effectiveSize_ = 0;  // completes the packet by size
    bool expectLength_ = false;       // the next byte is the length byte
    std::size_t lastByte_ = kNone;    // last byte of a completed packet
    bool completedByEndString_ = false;
    bool preparedStale_ = true;
    MatchString preparedStart_;
    MatchString preparedEnd_;
};

// Makes packet the program's line packet: every received byte joins the
// current line, which ends at the first CR LF; the text goes without it.
void ConfigureLinePacket(TCmDataPacket& packet);

}  // namespace morvik::comm
