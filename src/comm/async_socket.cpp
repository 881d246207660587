#include "comm/async_socket.h"

#include "platform/socket_error.h"

namespace morvik::comm {

using platform::EventLoop;

SocketNotifier::SocketNotifier(EventLoop& loop, platform::Socket& socket, TCmSocket& receiver)
    : loop_(loop), socket_(socket), receiver_(receiver) {
    UpdateWatch();
}

SocketNotifier::~SocketNotifier() {
    if (watch_ != 0) loop_.UnwatchFd(watch_);
}

void SocketNotifier::RearmRead() {
    if (ended_ || connecting_ || readArmed_) return;
    readArmed_ = true;
    UpdateWatch();
}

void SocketNotifier::RearmWrite() {
    if (ended_ || connecting_ || writeArmed_) return;
    writeArmed_ = true;
    UpdateWatch();
}

void SocketNotifier::OnReady(unsigned flags) {
    if (ended_) return;
    if (connecting_) {
        FinishConnect();
        return;
    }
    // Errors and hang-ups are reported by poll whether asked for or not, so
    // they are always looked into; otherwise the loop would spin on them.
    const bool trouble = (flags & (EventLoop::kError | EventLoop::kHangup)) != 0;
    if (trouble || (readArmed_ && (flags & EventLoop::kReadable))) {
        CheckReadable();
    } else if (writeArmed_ && (flags & EventLoop::kWritable)) {
        writeArmed_ = false;
        UpdateWatch();
        Notify(WsSocketEvent::kWrite, 0);
    }
}

void SocketNotifier::FinishConnect() {
    connecting_ = false;
    const int error = socket_.TakePendingError();
    if (error != 0) {
        ended_ = true;
    } else {
        // A fresh connection can be read, and written to at once.
        readArmed_ = true;
        writeArmed_ = true;
    }
    UpdateWatch();
    Notify(WsSocketEvent::kConnect, error);
}

void SocketNotifier::CheckReadable() {
    // A peek tells bytes waiting from the end of the stream without taking anything.
    std::uint8_t probe = 0;
    const platform::SocketTransfer peeked = socket_.Peek(&probe, 1);
    if (peeked.error == platform::kSocketWouldBlock) return;
    if (peeked.count > 0) {
        if (readArmed_) {
            readArmed_ = false;
            UpdateWatch();
            Notify(WsSocketEvent::kRead, 0);
        } else {
            // Bytes still wait ahead of the hang-up: stay quiet until the
            // reader takes them and so re-arms the read notification.
            writeArmed_ = false;
            UpdateWatch();
        }
        return;
    }
    // The peer closed (0 bytes) or the connection failed (error).
    ended_ = true;
    UpdateWatch();
    Notify(WsSocketEvent::kClose, peeked.error);
}

void SocketNotifier::UpdateWatch() {
    unsigned events = 0;
    if (connecting_) {
        events = EventLoop::kWritable;
    } else {
        if (readArmed_) events |= EventLoop::kReadable;
        if (writeArmed_) events |= EventLoop::kWritable;
    }
    if (ended_) events = 0;
    if (events == watchedEvents_) return;
    watchedEvents_ = events;
    if (events == 0) {
        loop_.UnwatchFd(watch_);
        watch_ = 0;
    } else if (watch_ == 0) {
        watch_ = loop_.WatchFd(socket_.Fd(), events, [this](unsigned flags) { OnReady(flags); });
    } else {
        loop_.SetWatchEvents(watch_, events);
    }
}

void SocketNotifier::Notify(WsSocketEvent event, int error) {
    receiver_.SocketNotification(socket_.Fd(), event, error);
}

std::unique_ptr<SocketNotifier> TCmSocket::AsyncSelect(EventLoop& loop, platform::Socket& socket) {
    return std::make_unique<SocketNotifier>(loop, socket, *this);
}

platform::SocketTransfer TCmSocket::Receive(platform::Socket& socket, SocketNotifier& notifier, void* data,
                                            std::size_t size) {
    const platform::SocketTransfer received = socket.Receive(data, size);
    notifier.RearmRead();
    return received;
}

platform::SocketTransfer TCmSocket::Send(platform::Socket& socket, SocketNotifier& notifier, const void* data,
                                         std::size_t size) {
    const platform::SocketTransfer sent = socket.Send(data, size);
    // A short or refused send means the socket's buffer is full: say when it has room.
    if (sent.error == platform::kSocketWouldBlock || (sent.error == 0 && sent.count < size)) {
        notifier.RearmWrite();
    }
    return sent;
}

}  // namespace morvik::comm
