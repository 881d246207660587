#pragma once
// The one process-wide socket service: it owns every TCP connection of the
// program and routes each socket notification to the connection it belongs
// to and on to that connection's dispatcher.
//
// The socket library needs no loading or start-up on this system, so the
// "not initialized" state of other platforms (a library that failed to load
// or has the wrong version) cannot arise and is not modelled.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "comm/async_socket.h"
#include "comm/tcp_connection.h"
#include "platform/event_loop.h"

namespace morvik::comm {

class TCmDeviceSocket final : public TCmSocket {
public:
    static TCmDeviceSocket& Service();

    // Creates a connection with its stream socket and rings; the connection's
    // main socket is the device handle. Null when the socket cannot be
    // created, with the socket error number in error.
    TWsConnection* Open(platform::EventLoop& loop, WsConnectionOwner& owner, std::size_t inSize,
                        std::size_t outSize, int& error);
    // Closes the connection's sockets and frees it. Ignores null.
    void Close(TWsConnection* connection);

    // The connection whose main or data socket this is, or null.
    TWsConnection* FindConnection(int socket);
    std::size_t ConnectionCount() const;

    ~TCmDeviceSocket() override;

protected:
    void SocketNotification(int socket, WsSocketEvent event, int error) override;

private:
    TCmDeviceSocket() = default;

    mutable std::mutex mutex_;  // guards the list and the cache, not the connections
    std::vector<std::unique_ptr<TWsConnection>> connections_;
    TWsConnection* lastFound_ = nullptr;
};

}  // namespace morvik::comm
