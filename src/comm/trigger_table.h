#pragma once
// The triggers of one dispatcher: timers, data strings and status conditions,
// and the handles that name them. Not locked: the dispatcher's trigger lock
// guards it.
//
// Handles are multiples of 8, shared by all kinds: the first 4095 are handed
// out in order (8, 16, 24, ...); after that the smallest free multiple of 8 up
// to 8 * 4096 is reused; when none is free there is no handle (-5001).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "comm/ticks.h"

namespace morvik::comm {

// Conditions a status trigger watches.
enum class StatusKind {
    kModemChange,  // a modem line under the mask (value) changed
    kLineError,    // a line error under the mask (value) occurred
    kOutputFree,   // at least value bytes of output space are free
    kOutputUsed,   // at most value bytes are waiting for output
    kOutputSent,   // everything written since the last write has gone out
};

struct TimerTrigger {
    int handle = 0;
    Ticks start = 0;
    Ticks length = 0;
    bool active = false;
};

struct DataTrigger {
    int handle = 0;
    std::string match;
    std::vector<std::size_t> fallback;  // longest proper prefix that is also a suffix, per length
    std::size_t matched = 0;            // bytes of match seen so far
};

struct StatusTrigger {
    int handle = 0;
    StatusKind kind = StatusKind::kModemChange;
    int value = 0;
    bool armed = false;
    bool hit = false;
};

// The trigger lists as copied out across a close and reopen of the port.
struct TriggerSet {
    std::vector<TimerTrigger> timers;
    std::vector<DataTrigger> data;
    std::vector<StatusTrigger> status;
};

class TriggerTable {
public:
    static constexpr int kHandleStep = 8;
    static constexpr int kOrderedHandles = 4095;
    static constexpr int kMaxHandles = 4096;

    // Each returns the new handle, or -5001 when no handle is free.
    int NewTimer();
    // match must not be empty (-5004).
    int AddData(const std::string& match);
    int AddStatus(StatusKind kind, int value);

    // ticks 0 keeps the timer's length; active false stops it. -5003 for a handle that is no timer.
    int ArmTimer(int handle, Ticks ticks, bool active, Ticks now);
    // -5003 for a handle that is no status trigger.
    int ArmStatus(int handle);
    // -5003 for an unknown handle.
    int Drop(int handle);

    // The first active timer that has expired at now, deactivated (a timer fires once per arming).
    std::optional<int> TakeExpiredTimer(Ticks now);

    // Feeds one received byte to every data trigger; returns the triggers it
    // completed (handle, match length), last in the list first, and starts those over.
    struct DataHit {
        int handle;
        int length;
    };
    std::vector<DataHit> FeedData(std::uint8_t byte);
    void ResetDataMatches();
    bool HasDataTriggers() const { return !set_.data.empty(); }

    // The first armed status trigger not yet hit in this run whose condition
    // holds: disarmed, marked hit, and returned with the condition's value.
    template <typename Condition>  // std::optional<int> condition(const StatusTrigger&)
    std::optional<std::pair<int, int>> TakeStatusHit(Condition condition) {
        for (StatusTrigger& trigger : set_.status) {
            if (!trigger.armed || trigger.hit) continue;
            if (std::optional<int> value = condition(trigger)) {
                trigger.armed = false;
                trigger.hit = true;
                return std::pair{trigger.handle, *value};
            }
        }
        return std::nullopt;
    }
    void ClearStatusHits();

    const TriggerSet& Triggers() const { return set_; }
    // Takes over a stashed set; its handles stay reserved.
    void Reinstate(const TriggerSet& set);

private:
    int AllocateHandle();
    bool InUse(int handle) const;

    TriggerSet set_;
    int allocations_ = 0;
};

}  // namespace morvik::comm
