#include "comm/socket_service.h"

#include <algorithm>

namespace morvik::comm {

TCmDeviceSocket& TCmDeviceSocket::Service() {
    static TCmDeviceSocket service;
    return service;
}

TCmDeviceSocket::~TCmDeviceSocket() = default;

TWsConnection* TCmDeviceSocket::Open(platform::EventLoop& loop, WsConnectionOwner& owner, std::size_t inSize,
                                     std::size_t outSize, int& error) {
    auto connection = std::make_unique<TWsConnection>(*this, loop, owner, inSize, outSize);
    error = connection->CreateSocket();
    if (error != 0) return nullptr;
    std::lock_guard lock(mutex_);
    connections_.push_back(std::move(connection));
    return connections_.back().get();
}

void TCmDeviceSocket::Close(TWsConnection* connection) {
    if (connection == nullptr) return;
    std::unique_ptr<TWsConnection> closing;
    {
        std::lock_guard lock(mutex_);
        const auto found = std::find_if(connections_.begin(), connections_.end(),
                                        [connection](const auto& entry) { return entry.get() == connection; });
        if (found == connections_.end()) return;
        closing = std::move(*found);
        connections_.erase(found);
        lastFound_ = nullptr;
    }
    // Destroyed outside the lock: stopping the notifications calls into the loop.
}

TWsConnection* TCmDeviceSocket::FindConnection(int socket) {
    if (socket < 0) return nullptr;
    std::lock_guard lock(mutex_);
    if (lastFound_ != nullptr && (lastFound_->MainSocket() == socket || lastFound_->DataSocket() == socket)) {
        return lastFound_;
    }
    for (const auto& connection : connections_) {
        if (connection->MainSocket() == socket || connection->DataSocket() == socket) {
            lastFound_ = connection.get();
            return lastFound_;
        }
    }
    return nullptr;
}

std::size_t TCmDeviceSocket::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

void TCmDeviceSocket::SocketNotification(int socket, WsSocketEvent event, int error) {
    TWsConnection* connection = FindConnection(socket);
    if (connection == nullptr) return;
    // Each branch ends with the call to the owner: its handlers may close the
    // port, and with it this connection.
    WsConnectionOwner& owner = connection->Owner();
    if (error != 0) {
        // An event that carries an error is an error, whatever its kind.
        connection->MarkFailed(error);
        owner.WsError(error);
        return;
    }
    switch (event) {
        case WsSocketEvent::kConnect:
            connection->MarkConnected();
            owner.WsConnected();
            return;
        case WsSocketEvent::kRead:
            owner.WsDataArrived();
            return;
        case WsSocketEvent::kWrite:
            connection->SendQueued();
            if (const int failure = connection->TakeUnreportedError(); failure != 0) owner.WsError(failure);
            return;
        case WsSocketEvent::kClose:
            connection->MarkClosed();
            owner.WsClosed();
            return;
    }
}

}  // namespace morvik::comm
