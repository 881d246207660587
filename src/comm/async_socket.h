#pragma once
// Access to sockets and their notifications. A socket asks for notifications
// (AsyncSelect) and from then on its readiness on the event loop arrives at
// its TCmSocket as connect, read, write and close events, each with an error
// number (0 when none), all on the loop thread.

#include <cstddef>
#include <memory>

#include "platform/event_loop.h"
#include "platform/socket.h"

namespace morvik::comm {

enum class WsSocketEvent { kConnect, kRead, kWrite, kClose };

class TCmSocket;

// The notifications of one socket. Connect and close come once. Like the
// socket library's asynchronous select, a read event is not repeated until
// the socket has been read again, and a write event only follows a send that
// would block, so a reader that leaves bytes in the socket, or a writer with
// nothing to send, does not keep the loop busy.
class SocketNotifier {
public:
    SocketNotifier(platform::EventLoop& loop, platform::Socket& socket, TCmSocket& receiver);
    ~SocketNotifier();
    SocketNotifier(const SocketNotifier&) = delete;
    SocketNotifier& operator=(const SocketNotifier&) = delete;

    void RearmRead();
    void RearmWrite();

private:
    void OnReady(unsigned flags);
    void FinishConnect();
    void CheckReadable();
    void UpdateWatch();
    // Hands the event over as the last thing a handler does: the receiver
    // may close the socket and destroy this notifier.
    void Notify(WsSocketEvent event, int error);

    platform::EventLoop& loop_;
    platform::Socket& socket_;
    TCmSocket& receiver_;
    platform::EventLoop::WatchId watch_ = 0;
    unsigned watchedEvents_ = 0;
    bool connecting_ = true;
    bool ended_ = false;
    bool readArmed_ = false;
    bool writeArmed_ = false;
};

class TCmSocket {
public:
    TCmSocket() = default;
    virtual ~TCmSocket() = default;
    TCmSocket(const TCmSocket&) = delete;
    TCmSocket& operator=(const TCmSocket&) = delete;

    // Starts the notifications of a socket whose connect is about to start;
    // they end when the returned object is destroyed.
    std::unique_ptr<SocketNotifier> AsyncSelect(platform::EventLoop& loop, platform::Socket& socket);

    // Receive and send that re-arm the socket's read and write notifications.
    static platform::SocketTransfer Receive(platform::Socket& socket, SocketNotifier& notifier, void* data,
                                            std::size_t size);
    static platform::SocketTransfer Send(platform::Socket& socket, SocketNotifier& notifier, const void* data,
                                         std::size_t size);

protected:
    friend class SocketNotifier;
    // One notification for a socket; error is 0 or the socket error number.
    virtual void SocketNotification(int socket, WsSocketEvent event, int error) = 0;
};

}  // namespace morvik::comm
