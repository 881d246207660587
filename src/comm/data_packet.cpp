#include "comm/data_packet.h"

#include <cstring>

#include "comm/data_packet_manager.h"
#include "comm/error_codes.h"
#include "comm/exceptions.h"
#include "comm/packet_buffer.h"

namespace morvik::comm {

namespace {
// The size a DectMode packet takes until its length byte has been seen, and
// the size of the first packet after DectInit.
constexpr std::int64_t kDectFrameSize = 20;
}  // namespace

TCmDataPacket::~TCmDataPacket() {
    if (manager_ != nullptr) manager_->Detach(*this);
}

void TCmDataPacket::SetEnabled(bool on) {
    if (on == enabled_) return;
    if (on && manager_ != nullptr && manager_->IsActive()) CheckConfiguration();
    enabled_ = on;
    if (manager_ != nullptr) manager_->PacketSwitched(*this);
}

void TCmDataPacket::SetEndCond(TPacketEndConds conds) {
    const bool wasEnabled = enabled_;
    SetEnabled(false);
    endCond_ = conds;
    SetEnabled(wasEnabled);
}

void TCmDataPacket::SetEndString(const std::string& text) {
    const bool wasEnabled = enabled_;
    SetEnabled(false);
    endString_ = text;
    preparedStale_ = true;
    SetEnabled(wasEnabled);
}

void TCmDataPacket::SetStartString(const std::string& text) {
    startString_ = text;
    preparedStale_ = true;
}

void TCmDataPacket::SetIgnoreCase(bool on) {
    ignoreCase_ = on;
    preparedStale_ = true;
}

TCmCustomComPort* TCmDataPacket::ComPort() const { return manager_ != nullptr ? manager_->Port() : nullptr; }

void TCmDataPacket::SetComPort(TCmCustomComPort* port) {
    if (ComPort() == port && (port != nullptr || manager_ == nullptr)) return;
    if (manager_ != nullptr) manager_->Detach(*this);
    if (port != nullptr) TCmDataPacketManagerList::Instance().ManagerFor(*port).Attach(*this);
}

void TCmDataPacket::CheckConfiguration() const {
    if (startCond_ == scAnyData && endCond_.empty()) RaiseError(kCharCountNeedsEndCondition);
    if (startCond_ == scString) {
        if (startString_.empty()) RaiseError(kStartStringEmpty);
        if (endCond_.Contains(ecPacketSize) && packetSize_ < static_cast<int>(startString_.size()))
            RaiseError(kPacketSizeBelowStartString);
    }
    if (endCond_.Contains(ecString) && endString_.empty()) RaiseError(kEndStringEmpty);
    // A negative size would complete every packet at its first byte: as useless as zero.
    if (endCond_.Contains(ecPacketSize) && packetSize_ <= 0) RaiseError(kPacketSizeZero);
}

void TCmDataPacket::PrepareStrings() {
    if (!preparedStale_) return;
    preparedStart_ = MatchString(startString_, ignoreCase_);
    preparedEnd_ = MatchString(endString_, ignoreCase_);
    preparedStale_ = false;
}

void TCmDataPacket::ResetMatch() {
    PrepareStrings();
    begin_ = kNone;
    startMatched_ = 0;
    endMatched_ = 0;
    endAnchor_ = kNone;
    effectiveSize_ = packetSize_;
    expectLength_ = false;
    lastByte_ = kNone;
    completedByEndString_ = false;
}

TCmDataPacket::ScanResult TCmDataPacket::Scan(const PacketBuffer& buffer, std::size_t from) {
    const std::uint8_t* data = buffer.data();
    const std::size_t end = buffer.size();
    // A packet waiting for the lock takes it as soon as it is free, bytes or not.
    if (state_ == State::kWaitingForLock && !manager_->TryEnterCollecting(*this)) return ScanResult::kBlocked;
    std::size_t pos = from;
    while (pos < end) {
        switch (state_) {
            case State::kIdle:
            case State::kWaitingForLock:
                return ScanResult::kExhausted;
            case State::kWaitingForStart:
                if (ScanForStart(data, pos, end) == ScanResult::kCompleted) return ScanResult::kCompleted;
                break;
            case State::kCollecting:
                return Collect(data, pos, end);
        }
    }
    return ScanResult::kExhausted;
}

TCmDataPacket::ScanResult TCmDataPacket::ScanForStart(const std::uint8_t* data, std::size_t& pos,
                                                      std::size_t end) {
    for (; pos < end; ++pos) {
        if (!preparedStart_.Matches(startMatched_, data[pos])) {
            if (startMatched_ > 0) RetryPartialMatch(preparedStart_, data, pos, begin_, startMatched_);
            continue;
        }
        if (startMatched_ == 0) begin_ = pos;
        if (++startMatched_ < preparedStart_.size()) continue;
        if (endCond_.empty()) {
            CompleteAt(pos, false);
            return ScanResult::kCompleted;
        }
        manager_->EnterCollecting(*this);
        // A size equal to the start string's length is complete with the start string.
        if (endCond_.Contains(ecPacketSize) && static_cast<std::int64_t>(pos - begin_ + 1) >= effectiveSize_) {
            CompleteAt(pos, false);
            return ScanResult::kCompleted;
        }
        ++pos;
        return ScanResult::kExhausted;  // the caller goes on collecting from pos
    }
    return ScanResult::kExhausted;
}

TCmDataPacket::ScanResult TCmDataPacket::Collect(const std::uint8_t* data, std::size_t& pos, std::size_t end) {
    const bool bySize = endCond_.Contains(ecPacketSize);
    const bool byString = endCond_.Contains(ecString);
    // The common line case: only an end string that begins with one exact
    // byte. Bytes that cannot begin it are skipped with memchr; the result is
    // the same as comparing each of them.
    const bool canSkip = byString && !bySize && !dectMode_ && preparedEnd_.HasLiteralFirstByte();
    for (; pos < end; ++pos) {
        if (canSkip && endMatched_ == 0) {
            if (begin_ == kNone) begin_ = pos;
            const void* hit = std::memchr(data + pos, preparedEnd_.FirstByte(), end - pos);
            if (hit == nullptr) {
                pos = end;
                break;
            }
            pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
            // The whole end string right here ends the packet as comparing byte by byte would.
            const std::size_t endLength = preparedEnd_.size();
            if (end - pos >= endLength && preparedEnd_.MatchesPrefix(data + pos, endLength)) {
                endAnchor_ = pos;
                endMatched_ = endLength;
                pos += endLength - 1;
                CompleteAt(pos, true);
                return ScanResult::kCompleted;
            }
        }
        const std::uint8_t byte = data[pos];
        if (dectMode_) {
            if (begin_ == kNone) {
                begin_ = pos;
                expectLength_ = true;
                effectiveSize_ = kDectFrameSize;
            } else if (expectLength_) {
                expectLength_ = false;
                if (dectInit_)
                    dectInit_ = false;
                else
                    effectiveSize_ = std::int64_t{byte} + 2;
            }
        }
        if (begin_ == kNone) begin_ = pos;
        if (bySize && static_cast<std::int64_t>(pos - begin_ + 1) >= effectiveSize_) {
            CompleteAt(pos, false);
            return ScanResult::kCompleted;
        }
        if (!byString) continue;
        if (preparedEnd_.Matches(endMatched_, byte)) {
            if (endMatched_ == 0) endAnchor_ = pos;
            if (++endMatched_ == preparedEnd_.size()) {
                CompleteAt(pos, true);
                return ScanResult::kCompleted;
            }
        } else if (endMatched_ > 0) {
            RetryPartialMatch(preparedEnd_, data, pos, endAnchor_, endMatched_);
        }
    }
    return ScanResult::kExhausted;
}

void TCmDataPacket::RetryPartialMatch(const MatchString& pattern, const std::uint8_t* data, std::size_t pos,
                                      std::size_t& anchor, std::size_t& matched) {
    // Each candidate is shorter than the partial match that failed, so it
    // can only be partial again: the full match is found byte by byte later.
    for (std::size_t start = anchor + 1; start <= pos; ++start) {
        const std::size_t length = pos - start + 1;
        if (pattern.MatchesPrefix(data + start, length)) {
            anchor = start;
            matched = length;
            return;
        }
    }
    anchor = kNone;
    matched = 0;
}

void TCmDataPacket::CompleteAt(std::size_t pos, bool byEndString) {
    lastByte_ = pos;
    completedByEndString_ = byEndString;
}

std::size_t TCmDataPacket::PayloadStart() const {
    std::size_t start = begin_;
    if (startCond_ == scString && !includeStrings_) start += preparedStart_.size();
    return start;
}

std::size_t TCmDataPacket::PayloadSize() const {
    const std::size_t start = PayloadStart();
    std::size_t stop = lastByte_ + 1;
    if (!includeStrings_ && completedByEndString_) stop -= preparedEnd_.size();
    return stop > start ? stop - start : 0;
}

void ConfigureLinePacket(TCmDataPacket& packet) {
    packet.SetStartCond(scAnyData);
    packet.SetEndCond({ecString});
    packet.SetEndString("\r\n");
    packet.SetIncludeStrings(false);
}

}  // namespace morvik::comm
