#pragma once
// TCmDataPacketManager: the receive side of one port's data packets. It keeps
// the bytes received and not yet part of a delivered packet, lets its packets
// examine them (one packet at a time holds the collecting lock), delivers
// completed packets in order, and times out a packet that collects too long.
// TCmDataPacketManagerList is the process-wide list of managers, one per port.
//
// Threads: on a serial port the manager runs on the dispatcher thread and only
// the notifications cross to the application's thread, which the dispatcher
// thread waits for; on TCP everything runs on the loop thread. A lock keeps
// the two apart: it is held while the manager works and let go while a
// notification crosses to the loop thread, so attaching, detaching,
// switching packets on or off and opening or closing the port are safe from
// the loop thread at any time. It is re-entrant: a handler that runs on the
// manager's own thread may call back in.
// Other packet settings change only while the port is closed or from a
// notification handler.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/data_packet.h"
#include "comm/packet_buffer.h"

namespace morvik::comm {

class TCmDataPacketManager {
public:
    // What an open port lends its manager.
    class Host {
    public:
        virtual ~Host() = default;
        // Starts the collecting packet's time-out (ticks > 0) or stops it (0).
        virtual void ArmTimeout(int ticks) = 0;
        // Runs a notification on the application's thread and returns after it ran.
        virtual void Notify(const std::function<void()>& notification) = 0;
        // Whether a notification asked for now would run on another thread.
        virtual bool CrossesThreads() const = 0;
    };

    // Bytes held for a packet that has not completed when more than this are
    // waiting: they are dropped and collecting starts afresh, so a peer that
    // never ends its line cannot exhaust memory.
    static constexpr std::size_t kPendingLimit = std::size_t{1} << 20;

    explicit TCmDataPacketManager(TCmCustomComPort* port = nullptr);
    ~TCmDataPacketManager();
    TCmDataPacketManager(const TCmDataPacketManager&) = delete;
    TCmDataPacketManager& operator=(const TCmDataPacketManager&) = delete;

    TCmCustomComPort* Port() const { return port_; }

    // An enabled packet joining an open port starts at once; one whose
    // settings cannot work is switched off and its error raised.
    void Attach(TCmDataPacket& packet);
    void Detach(TCmDataPacket& packet);
    const std::vector<TCmDataPacket*>& Packets() const { return packets_; }

    // The port has opened: every enabled packet starts. Without a host there
    // is no time-out and notifications run directly. Raises the configuration
    // error of the first enabled packet that cannot start (the others start).
    void Activate(Host* host);
    // The port is closing: every packet stops (Enabled unchanged) and the
    // received bytes are dropped.
    void Deactivate();
    bool IsActive() const { return active_; }

    // Bytes from the device, in order.
    void ReceiveBytes(const std::uint8_t* bytes, std::size_t count);
    // The host's time-out fired.
    void TimeoutExpired();

    std::size_t PendingBytes() const;
    // Inside a scan or a delivery.
    bool Busy() const;
    // The packet holding the collecting lock, if any.
    const TCmDataPacket* CollectingPacket() const;

private:
    friend class TCmDataPacket;

    // Called by a packet whose Enabled changed.
    void PacketSwitched(TCmDataPacket& packet);
    // Puts a packet at its starting point: collecting, waiting for the lock,
    // or waiting for its start string.
    void StartPacket(TCmDataPacket& packet);
    void StartPacketAndScan(TCmDataPacket& packet);
    void StopPacket(TCmDataPacket& packet);
    bool TryEnterCollecting(TCmDataPacket& packet);
    void EnterCollecting(TCmDataPacket& packet);
    void LeaveCollecting(TCmDataPacket& packet);

    void RequestRescan(std::size_t from);
    // Scans as long as re-scans are requested (a delivery asks for one over
    // the bytes that remain), unless a scan or event is already running.
    void RunPendingScans();
    void ScanPass(std::size_t from);
    bool HoldsBytes() const;
    void DropPendingAndRestart();

    // A delivery or time-out runs as an event: every packet stops for its
    // duration and restarts (when enabled) at its end.
    void EnterEvent();
    void LeaveEvent();
    void Deliver(TCmDataPacket& packet);
    template <typename Notification>
    void RunNotification(const Notification& notification);
    bool IsAttached(const TCmDataPacket* packet) const;

    TCmCustomComPort* port_;
    mutable std::recursive_mutex mutex_;
    std::vector<TCmDataPacket*> packets_;  // in attachment order
    PacketBuffer buffer_;
    std::string payload_;  // the packet being delivered
    TCmDataPacket* collecting_ = nullptr;
    Host* host_ = nullptr;
    bool active_ = false;
    bool inEvent_ = false;
    bool scanning_ = false;
    bool rescanPending_ = false;
    std::size_t rescanFrom_ = 0;
};

// The process-wide list of packet managers, one per port, each bound to its
// port's opening and closing. A manager whose last packet left goes when its
// port is closed (at once, or when the port next completes a close).
class TCmDataPacketManagerList {
public:
    static TCmDataPacketManagerList& Instance();
    ~TCmDataPacketManagerList();

    // The port's manager, made on first use.
    TCmDataPacketManager& ManagerFor(TCmCustomComPort& port);
    // The port's manager if it has one.
    TCmDataPacketManager* Find(const TCmCustomComPort& port);
    // Drops the port's manager if it has no packets and the port is closed.
    void ReleaseIfUnused(TCmCustomComPort& port);
    // The port is going away: its manager goes and its packets are left without a port.
    void PortDestroyed(TCmCustomComPort& port);
    std::size_t Count();

private:
    struct Entry;
    TCmDataPacketManagerList() = default;
    // Takes the port's entry out of the list; it is destroyed by the caller, outside the lock.
    std::unique_ptr<Entry> Take(const TCmCustomComPort& port);

    std::mutex mutex_;
    std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace morvik::comm
