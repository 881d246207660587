#include "comm/trigger_table.h"

#include <algorithm>

#include "comm/error_codes.h"

namespace morvik::comm {

namespace {

template <typename List>
auto FindHandle(List& list, int handle) {
    return std::find_if(list.begin(), list.end(), [handle](const auto& t) { return t.handle == handle; });
}

// The classic prefix function: for each length k of a partial match, the
// length of the longest proper prefix of match that also ends those k bytes.
std::vector<std::size_t> Fallbacks(const std::string& match) {
    std::vector<std::size_t> fallback(match.size(), 0);
    std::size_t k = 0;
    for (std::size_t i = 1; i < match.size(); ++i) {
        while (k > 0 && match[i] != match[k]) k = fallback[k - 1];
        if (match[i] == match[k]) ++k;
        fallback[i] = k;
    }
    return fallback;
}

}  // namespace

bool TriggerTable::InUse(int handle) const {
    return FindHandle(set_.timers, handle) != set_.timers.end() ||
           FindHandle(set_.data, handle) != set_.data.end() ||
           FindHandle(set_.status, handle) != set_.status.end();
}

int TriggerTable::AllocateHandle() {
    while (allocations_ < kOrderedHandles) {
        const int handle = ++allocations_ * kHandleStep;
        if (!InUse(handle)) return handle;  // a reinstated trigger may hold it already
    }
    for (int slot = 1; slot <= kMaxHandles; ++slot) {
        if (!InUse(slot * kHandleStep)) return slot * kHandleStep;
    }
    return kNoMoreTriggers;
}

int TriggerTable::NewTimer() {
    const int handle = AllocateHandle();
    if (handle > 0) set_.timers.push_back(TimerTrigger{handle, 0, 0, false});
    return handle;
}

int TriggerTable::AddData(const std::string& match) {
    if (match.empty()) return kEmptyTriggerString;
    const int handle = AllocateHandle();
    if (handle > 0) set_.data.push_back(DataTrigger{handle, match, Fallbacks(match), 0});
    return handle;
}

int TriggerTable::AddStatus(StatusKind kind, int value) {
    const int handle = AllocateHandle();
    if (handle > 0) set_.status.push_back(StatusTrigger{handle, kind, value, true, false});
    return handle;
}

int TriggerTable::ArmTimer(int handle, Ticks ticks, bool active, Ticks now) {
    auto timer = FindHandle(set_.timers, handle);
    if (timer == set_.timers.end()) return kBadTriggerHandle;
    if (ticks != 0) timer->length = std::min(ticks, kMaxTimerTicks);
    timer->start = now;
    timer->active = active;
    return 0;
}

int TriggerTable::ArmStatus(int handle) {
    auto status = FindHandle(set_.status, handle);
    if (status == set_.status.end()) return kBadTriggerHandle;
    status->armed = true;
    return 0;
}

int TriggerTable::Drop(int handle) {
    auto erase = [handle](auto& list) {
        auto found = FindHandle(list, handle);
        if (found == list.end()) return false;
        list.erase(found);
        return true;
    };
    return erase(set_.timers) || erase(set_.data) || erase(set_.status) ? 0 : kBadTriggerHandle;
}

std::optional<int> TriggerTable::TakeExpiredTimer(Ticks now) {
    for (TimerTrigger& timer : set_.timers) {
        if (timer.active && TimerExpired(timer.start, timer.length, now)) {
            timer.active = false;
            return timer.handle;
        }
    }
    return std::nullopt;
}

std::vector<TriggerTable::DataHit> TriggerTable::FeedData(std::uint8_t byte) {
    std::vector<DataHit> completed;
    for (auto trigger = set_.data.rbegin(); trigger != set_.data.rend(); ++trigger) {
        const auto c = static_cast<char>(byte);
        const std::string& match = trigger->match;
        while (trigger->matched > 0 && match[trigger->matched] != c) {
            trigger->matched = trigger->fallback[trigger->matched - 1];
        }
        if (match[trigger->matched] == c) ++trigger->matched;
        if (trigger->matched == match.size()) {
            trigger->matched = 0;
            completed.push_back(DataHit{trigger->handle, static_cast<int>(match.size())});
        }
    }
    return completed;
}

void TriggerTable::ResetDataMatches() {
    for (DataTrigger& trigger : set_.data) trigger.matched = 0;
}

void TriggerTable::ClearStatusHits() {
    for (StatusTrigger& trigger : set_.status) trigger.hit = false;
}

void TriggerTable::Reinstate(const TriggerSet& set) { set_ = set; }

}  // namespace morvik::comm
