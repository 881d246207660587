#include "byte_sink.h"

#include <unistd.h>

#include <cerrno>

#include "platform/eintr.h"

namespace morvik::sim {

void ByteSink::Attach(int fd, platform::EventLoop::WatchId watch) {
    fd_ = fd;
    watch_ = watch;
    pending_.clear();
}

void ByteSink::Detach() {
    fd_ = -1;
    watch_ = 0;
    pending_.clear();
}

bool ByteSink::Write(std::string_view bytes) {
    if (fd_ < 0) return true;
    pending_.append(bytes);
    return Flush();
}

bool ByteSink::Flush() {
    while (!pending_.empty()) {
        const ssize_t written = platform::RetryOnEintr([&] { return ::write(fd_, pending_.data(), pending_.size()); });
        if (written < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            pending_.clear();
            UpdateWatch();
            return false;
        }
        pending_.erase(0, static_cast<std::size_t>(written));
    }
    UpdateWatch();
    return true;
}

void ByteSink::UpdateWatch() {
    if (watch_ == 0) return;
    const unsigned events = platform::EventLoop::kReadable | (pending_.empty() ? 0u : platform::EventLoop::kWritable);
    loop_.SetWatchEvents(watch_, events);
}

}  // namespace morvik::sim
